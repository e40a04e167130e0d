# SPDX-License-Identifier: Apache-2.0
"""The Python module as a host uses it on the virtual reader: properties, by-ref outputs as tuples,
enumerations, the live LastError, late-bound errors as ComError, readers, a cancelled wait, I/O
without the interpreter lock. (Insertion in a wait: HostBench.ReadersAreListedAndCardsAwaited.)"""
import inspect
import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import tarsinrf

READER = "Tarsin Virtual Reader 0"


class PythonHost(unittest.TestCase):
    def setUp(self):
        folder = tempfile.mkdtemp()
        os.environ.update(XDG_DATA_HOME=folder, TARSIN_RF_REGISTRY_DIR=folder + "/registry",
                          TARSIN_RF_VIRTUAL_READERS=folder + "/readers.json")
        tarsinrf.use_virtual_reader()
        self.encoder = tarsinrf.Encoder(f"device={READER};protocol=2;open_mode=2")

    def test_members_properties_and_outputs(self):
        e = self.encoder
        self.assertIn(f"Device={READER}", e.Parameters)
        self.assertIs(e.OpenEncoder(0), tarsinrf.sceReturnCode.scesuccess)
        self.assertEqual(e.ReadSerialNumber(), (tarsinrf.scesuccess, "B47C2E91"))
        self.assertEqual(e.invoke("getresponsetext", "9000", sErrorCaller="x")[:4], "[OK]")

    def test_last_error_is_live_and_writable(self):
        kept = self.encoder.LastError
        with self.assertRaises(tarsinrf.ComError) as raised:
            self.encoder.ReaderType
        self.assertEqual(raised.exception.number & 0xFFFFFFFF, 0x90010F01)
        self.assertEqual((kept.Number & 0xFFFFFFFF, kept.ComFunction), (0x90010F01, "ReaderType"))
        kept.RdrRetCode = 42
        self.assertEqual(self.encoder.LastError.RdrRetCode, "42")
        with self.assertRaises(tarsinrf.ComError):
            kept.Number = "not a number"

    def test_wrong_calls_and_values_raise_their_late_bound_error(self):
        e = self.encoder
        looped, nested = [], [1]
        looped.append(looped)
        for _ in range(70):
            nested = [nested]
        for call, number in [
                (lambda: e.invoke("NoSuchMember"), 0x80020006), (lambda: e.WriteLog(), 0x8002000E),
                (lambda: e.WriteLog("a", "b"), 0x8002000E), (lambda: e.WriteLog(2**64), 0x8002000A),
                (lambda: e.OpenEncoder("not a number"), 0x80020005),
                (lambda: e.OpenEncoder(object()), 0x80020005),
                (lambda: e.OpenEncoder(Handle_=0), 0x80020006),
                (lambda: e.WriteLog("\ud800"), 0x80020005),
                (lambda: e.WriteLog(looped), 0x80020005), (lambda: e.WriteLog(nested), 0x80020005)]:
            with self.assertRaises(tarsinrf.ComError) as raised:
                call()
            self.assertEqual(raised.exception.number & 0xFFFFFFFF, number, raised.exception)

    def test_python_conveniences(self):
        self.assertEqual(list(inspect.signature(tarsinrf.Encoder.MifareReadDataBloc).parameters),
                         ["BlocNumber", "Key", "KeyType", "BlocContents"])
        self.assertIn("tuple[sceReturnCode, str]", tarsinrf.Encoder.MifareReadDataBloc.__doc__)
        with self.encoder as e:
            self.assertRegex(repr(e), f"Device={READER};.* open LastError=0x00000000>$")
            self.assertIs(e.EncoderState, tarsinrf.sceReady)
            self.assertIsInstance(e.CardType, tarsinrf.sceCardTypes)
            # A combination of rights outside the enumeration stays a plain int.
            trailer = e.MifareReadSectorTrailer(0, "FFFFFFFFFFFF", 1)
            self.assertEqual(trailer[2:6], (15, 15, 15, tarsinrf.scss_A_WriteKeysConditions))
            self.assertIsInstance(trailer[5], tarsinrf.SCSS_SecurityLevelEnum)
        self.assertIn(" closed ", repr(self.encoder))
        with self.assertRaises(tarsinrf.ComError), tarsinrf.Encoder("device=No Such Reader"):
            pass

    def test_readers_and_a_cancelled_wait(self):
        watch = tarsinrf.ReaderWatch()
        self.assertEqual([(r.name, r.card_present) for r in watch.list()],
                         [(READER, True), ("Tarsin Virtual Reader 1", True)])
        self.assertEqual(watch.wait_for_card()[:2], (READER, True))  # any reader, at once
        with self.assertRaises(tarsinrf.WaitTimeout):  # its card stays
            watch.wait_for_card(READER, tarsinrf.CARD_REMOVAL, timeout=0.2)
        threading.Timer(0.3, watch.cancel).start()
        with self.assertRaises(tarsinrf.WaitCancelled) as raised:
            watch.wait_for_card(READER, tarsinrf.CARD_REMOVAL)
        self.assertEqual(raised.exception.number & 0xFFFFFFFF, 0x80100002)
        self.assertEqual(tarsinrf.version(), "1.0.0")

    def test_the_first_pcsc_library_is_kept(self):
        # A new interpreter: its first PC/SC call fixes the library; the virtual reader after it
        # is refused, naming the library in use (every setUp here chooses it again, accepted).
        missing = "/nonexistent/libpcsclite.so.1"
        code = ("import tarsinrf\ntry:\n    tarsinrf.readers()\nexcept tarsinrf.ReaderError:\n"
                "    pass\ntarsinrf.use_virtual_reader()\n")
        run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                             env=dict(os.environ, TARSIN_RF_PCSC_LIBRARY=missing), timeout=60)
        self.assertIn(f"RuntimeError: this process already uses the PC/SC library {missing};",
                      run.stderr)

    def test_two_encoders_open_side_by_side(self):
        # Every member's card I/O lets go of the interpreter lock, so other encoders overlap.
        encoders = [tarsinrf.Encoder(f"device=Tarsin Virtual Reader {n};protocol=2;open_mode=2")
                    for n in (0, 1)]
        threads = [threading.Thread(target=e.OpenEncoder, args=(0,)) for e in encoders]
        began = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertLess(time.monotonic() - began, 1.5 * 0.250)
        self.assertEqual([e.EncoderState for e in encoders], [tarsinrf.sceReady] * 2)


if __name__ == "__main__":
    sys.exit(unittest.main())
