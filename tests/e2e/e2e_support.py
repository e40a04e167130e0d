# SPDX-License-Identifier: Apache-2.0
"""Shared by the end-to-end tests: a readers file of the test's own, a private pcscd around the
checks (with-pcscd.sh), tarsin-rf on the real pcsc-lite, and small pyscard helpers."""
import atexit
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from smartcard import scard

import readers_file

HERE = os.path.dirname(os.path.abspath(__file__))


def reader(name, card):
    return {"name": name, "vendor": "Tarsin", "ifdType": "Virtual contactless reader",
            "ifdVersion": "1.2.3", "serial": "E2E-" + name[-1], "card": card}


def scratch_folder(prefix):
    """A temporary folder, removed when the script ends."""
    folder = tempfile.mkdtemp(prefix=prefix)
    atexit.register(shutil.rmtree, folder, True)
    return folder


def edit_reader(name, change):
    """Applies `change` to reader `name`'s entry in the readers file; the driver reads it anew."""
    def edit(contents):
        for entry in contents["readers"]:
            if entry["name"] == name:
                change(entry)
    readers_file.edit(os.environ["TARSIN_RF_VIRTUAL_READERS"], edit)


def main(readers, inside):
    """Runs `inside()` (or the unittest case `inside`) in this script run again, under a private
    pcscd (with-pcscd.sh) serving `readers` from a readers file of the test's own."""
    if sys.argv[1:] == ["inside"]:
        if isinstance(inside, type):
            suite = unittest.defaultTestLoader.loadTestsFromTestCase(inside)
            sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
        sys.exit(inside())
    path = os.path.join(scratch_folder("tarsin-e2e-"), "readers.json")
    readers_file.write(path, {"readers": readers})
    sys.exit(subprocess.call([os.path.join(HERE, "with-pcscd.sh"), sys.executable,
                              os.path.abspath(sys.argv[0]), "inside"],
                             env=dict(os.environ, TARSIN_RF_VIRTUAL_READERS=path)))


def new_home(card_types=False):
    """A folder for tarsin-rf's log and registry, with the example card-type table if asked."""
    home = scratch_folder("tarsin-e2e-home-")
    os.makedirs(os.path.join(home, "Quillon/Nemora"))
    if card_types:
        tarsin_rf("reg", "import", os.environ["TARSIN_RF_CARD_TYPES"], home=home).check_returncode()
    return home


def tarsin_rf(*args, script=None, home=None):
    """tarsin-rf on the real libpcsclite (hence pcscd), log and registry in `home` or its own."""
    home = home or new_home()
    env = dict(os.environ, XDG_DATA_HOME=home, TARSIN_RF_REGISTRY_DIR=home)
    env.pop("TARSIN_RF_PCSC_LIBRARY", None)
    return subprocess.run([os.environ["TARSIN_RF_CLI"], *args], input=script, env=env,
                          capture_output=True, text=True, timeout=120)


def pcscd_name(name):
    """pcscd appends the reader and slot numbers to the configured name."""
    return name + " 00 00"


def connect(test, name):
    """A connection to the reader `name` for the unittest case `test`, closed after it."""
    card = Card(pcscd_name(name))
    test.assertEqual(card.result, scard.SCARD_S_SUCCESS, scard.SCardGetErrorMessage(card.result))
    test.addCleanup(card.close)
    return card


class Card:
    """One connection through pcscd, with hex in and out."""

    def __init__(self, reader_name):
        result, self.context = scard.SCardEstablishContext(scard.SCARD_SCOPE_USER)
        assert result == scard.SCARD_S_SUCCESS, scard.SCardGetErrorMessage(result)
        self.result, self.card, self.protocol = scard.SCardConnect(
            self.context, reader_name, scard.SCARD_SHARE_SHARED,
            scard.SCARD_PROTOCOL_T0 | scard.SCARD_PROTOCOL_T1)

    def send(self, apdu_hex):
        result, answer = scard.SCardTransmit(self.card, self.protocol,
                                             list(bytes.fromhex(apdu_hex.replace(" ", ""))))
        if result != scard.SCARD_S_SUCCESS:
            return "ERR:%08X" % (result & 0xFFFFFFFF)
        return bytes(answer).hex().upper()

    def close(self):
        scard.SCardDisconnect(self.card, scard.SCARD_LEAVE_CARD)
        scard.SCardReleaseContext(self.context)
