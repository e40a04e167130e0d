"""Shared by the end-to-end tests: a readers file of the test's own, a private pcscd around the
checks (with-pcscd.sh), and small pyscard helpers."""
import atexit
import json
import os
import shutil
import subprocess
import sys
import tempfile

from smartcard import scard

HERE = os.path.dirname(os.path.abspath(__file__))


def reader(name, card):
    return {"name": name, "vendor": "Tarsin", "ifdType": "Virtual contactless reader",
            "ifdVersion": "1.2.3", "serial": "E2E-" + name[-1], "card": card}


def readers_file(readers):
    """A readers file of the test's own."""
    folder = tempfile.mkdtemp(prefix="tarsin-e2e-")
    atexit.register(shutil.rmtree, folder, True)
    path = os.path.join(folder, "readers.json")
    with open(path, "w") as out:
        json.dump({"readers": readers}, out)
    return path


def under_pcscd(path, phase):
    """Runs this script again with the argument `phase` under a private pcscd serving `path`."""
    env = dict(os.environ, TARSIN_RF_VIRTUAL_READERS=path)
    return subprocess.call([os.path.join(HERE, "with-pcscd.sh"), sys.executable,
                            os.path.abspath(sys.argv[0]), phase], env=env)


def pcscd_name(name):
    """pcscd appends the reader and slot numbers to the configured name."""
    return name + " 00 00"


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

    def attribute(self, attribute_id):
        result, value = scard.SCardGetAttrib(self.card, attribute_id)
        return bytes(value) if result == scard.SCARD_S_SUCCESS else result

    def close(self):
        scard.SCardDisconnect(self.card, scard.SCARD_LEAVE_CARD)
        scard.SCardReleaseContext(self.context)
