# SPDX-License-Identifier: Apache-2.0
"""Faults through the real pcscd and other processes: a card leaving mid multi-frame read and
write, answering one byte, reset by another client; the reader unplugged, pcscd stopped, the
registry held by another writer. Each gives a clear result and LastError, no crash or hang, and
loses nothing written before. A log that cannot be written: tests/core."""
import os
import signal
import sqlite3
import subprocess
import time
import unittest

import e2e_support
from e2e_support import edit_reader, pcscd_name
from smartcard import scard

import tarsinrf

DESFIRE, CLASSIC = "Fault Reader 0", "Fault Reader 1"
ZERO = "0000000000000000"
READERS = [e2e_support.reader(DESFIRE, {"type": "mifare-desfire-ev1-4k", "uid": "04112233445566"}),
           e2e_support.reader(CLASSIC, {"type": "mifare-classic-1k", "uid": "04A1B2C3"})]
DATA = bytes(range(256)).hex().upper() * 2  # 512 bytes: one frame out, nine back


def stopping(pid):
    """Whether the process `pid` still runs: neither a zombie nor reaped."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(") ", 1)[1][0] != "Z"
    except (FileNotFoundError, ProcessLookupError):  # reaped, perhaps while being read
        return False


class Faults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = e2e_support.new_home(card_types=True)
        os.environ.update(XDG_DATA_HOME=cls.home, TARSIN_RF_REGISTRY_DIR=cls.home)

    def encoder(self, reader):
        encoder = tarsinrf.Encoder(f"device={pcscd_name(reader)};protocol=2;open_mode=2")
        self.assertEqual(encoder.OpenEncoder(0), tarsinrf.scesuccess)
        self.addCleanup(encoder.CloseEncoder)
        return encoder

    def failed(self, encoder, outcome, *numbers):
        result = outcome[0] if isinstance(outcome, tuple) else outcome
        self.assertEqual(result, tarsinrf.sceError)
        self.assertIn(encoder.LastError.Number & 0xFFFFFFFF, numbers or (0x90010F04,),
                      encoder.LastError.Description)

    def test_1_card_leaving_in_a_multi_frame_exchange_loses_nothing(self):
        e = self.encoder(DESFIRE)
        for call in (lambda: e.DESFireSelectRoot(ZERO),
                     lambda: e.DESFireCreateApplication("A1A2A3", 15, 1),
                     lambda: e.DESFireSelectApplication("A1A2A3", 0, ZERO),
                     lambda: e.DESFireCreateBackupDataFile(0, 0, 14, 14, 14, 14, 512),
                     lambda: e.DESFireWriteData(0, 0, 0, DATA, True),
                     lambda: e.DESFireCommitTransaction()):
            result = call()
            self.assertEqual(result[0] if isinstance(result, tuple) else result, 0)
        # The card leaves after two frames of a write, then after three frames of a read.
        for frames, call in ((2, lambda: e.DESFireWriteData(0, 0, 0, "FF" * 512, True)),
                             (3, lambda: e.DESFireReadData(0, 0, 0, "", True))):
            edit_reader(DESFIRE, lambda entry: entry.setdefault("faults", {}).update(
                removeCardDuringTransmit=frames))
            self.failed(e, call(), 0x90010E03)
            edit_reader(DESFIRE, lambda entry: entry.update(cardPresent=True))
            time.sleep(0.5)  # pcscd sees the card at its next poll
            e = self.encoder(DESFIRE)
            self.assertEqual(e.DESFireSelectApplication("A1A2A3", 0, ZERO), 0)
        result, data = e.DESFireReadData(0, 0, 0, "", True)
        self.assertEqual((result, data.replace(" ", "")), (0, DATA))  # the committed data stays

    def test_2_short_answers_and_a_card_reset_by_another_client(self):
        e = self.encoder(CLASSIC)
        edit_reader(CLASSIC, lambda entry: entry.setdefault("faults", {}).update(statusWords=["90"]))
        self.failed(e, e.ReadSerialNumber(""))
        # Another client resets the card under our shared connection.
        other = e2e_support.connect(self, CLASSIC)
        scard.SCardDisconnect(other.card, scard.SCARD_RESET_CARD)
        outcome = e.ReadSerialNumber("")
        if outcome[0] != tarsinrf.scesuccess:
            self.assertNotEqual(e.LastError.Number, 0)
        # After the reset, new sessions write the card and read it back.
        self.assertEqual(self.encoder(CLASSIC).MifareWriteDataBloc(4, "FFFFFFFFFFFF", 1, "11" * 16)[0],
                         0)
        self.assertEqual(self.encoder(CLASSIC).MifareReadDataBloc(4, "FFFFFFFFFFFF", 1, ""),
                         (0, "11" * 16))

    def test_3_registry_held_by_another_writer(self):
        cli, home = os.environ["TARSIN_RF_CLI"], self.home
        env = dict(os.environ, TARSIN_RF_REGISTRY_DIR=home, TARSIN_RF_REGISTRY_BUSY_TIMEOUT_MS="300")
        reg = lambda *args: subprocess.run([cli, "reg", *args], env=env, capture_output=True,
                                           text=True, timeout=60)
        self.assertEqual(reg("add", "HKCU\\Software\\Kept", "/v", "v", "/d", "before", "/f")
                         .returncode, 0)
        # Another writer holds the hive longer than the busy timeout.
        holder = sqlite3.connect(os.path.join(home, "HKEY_CURRENT_USER.db"), timeout=0)
        holder.execute("BEGIN EXCLUSIVE")
        started = time.monotonic()
        held = reg("add", "HKCU\\Software\\Kept", "/v", "w", "/d", "later", "/f")
        holder.close()  # rolls back
        self.assertEqual(held.returncode, 1)
        self.assertIn("(error 170)", held.stderr)
        self.assertLess(time.monotonic() - started, 10)  # the busy timeout, and no more
        self.assertIn("before", reg("query", "HKCU\\Software\\Kept", "/v", "v").stdout)

    def test_4_reader_unplugged_then_pcscd_stopped(self):
        e = self.encoder(CLASSIC)
        edit_reader(CLASSIC, lambda entry: entry.update(present=False))
        time.sleep(0.5)
        self.assertEqual(e.ReadSerialNumber("")[0], tarsinrf.sceError)
        self.assertNotEqual(e.LastError.Number, 0)
        edit_reader(CLASSIC, lambda entry: entry.update(present=True))
        d = self.encoder(DESFIRE)
        pcscd = int(os.environ["TARSIN_RF_PCSCD_PID"])
        os.kill(pcscd, signal.SIGTERM)
        while stopping(pcscd):
            time.sleep(0.1)
        started = time.monotonic()
        # The exchange fails, or the card is found gone, as pcscd goes.
        self.failed(d, d.ReadSerialNumber(""), 0x90010F04, 0x90010F06)
        self.assertLess(time.monotonic() - started, 30)


if __name__ == "__main__":
    e2e_support.main(READERS, Faults)
