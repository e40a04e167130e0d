"""pyscard through pcscd: a host of its own (DES from python3-cryptography) drives the virtual
DESFire EV1 with the legacy protocol, across frames in both directions."""
import os
import sys
import unittest
import warnings

from smartcard import scard

import e2e_support
from e2e_support import Card, pcscd_name

with warnings.catch_warnings():
    warnings.simplefilter("ignore")
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

READER = "Tarsin Virtual Reader 0"
READERS = [e2e_support.reader(READER, {"type": "mifare-desfire-ev1-4k", "uid": "04A1B2C3D4E5F6"})]
ZERO_KEY = bytes(16)
AID = bytes.fromhex("332211")
OK = 0x9100


def des(key, data, decrypt):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        cipher = Cipher(algorithms.TripleDES(key), modes.ECB())
    worker = cipher.decryptor() if decrypt else cipher.encryptor()
    return worker.update(data) + worker.finalize()


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def le(value, size):
    return (value & (1 << 8 * size) - 1).to_bytes(size, "little")


class Host:
    def __init__(self, card):
        self.card = card

    def frame(self, instruction, data=b""):
        apdu = bytes([0x90, instruction, 0, 0]) + (bytes([len(data)]) + data if data else b"") + b"\0"
        answer = bytes.fromhex(self.card.send(apdu.hex()))
        return answer[:-2], int.from_bytes(answer[-2:], "big")

    def command(self, instruction, data=b""):
        """A first frame of 52 bytes at most, then 59-byte frames; answers followed while 91AF."""
        answer, sw = self.frame(instruction, data[:52])
        sent = 52
        while sw == 0x91AF and sent < len(data):
            answer, sw = self.frame(0xAF, data[sent:sent + 59])
            sent += 59
        collected = answer
        while sw == 0x91AF:
            answer, sw = self.frame(0xAF)
            collected += answer
        return collected, sw

    def authenticate(self, key_number, key=ZERO_KEY):
        challenge, sw = self.frame(0x0A, bytes([key_number]))
        assert sw == 0x91AF, hex(sw)
        rnd_b = des(key, challenge, True)
        rnd_a = os.urandom(8)
        first = des(key, rnd_a, True)
        second = des(key, xor(rnd_b[1:] + rnd_b[:1], first), True)
        answer, sw = self.frame(0xAF, first + second)
        assert sw == OK, hex(sw)
        assert des(key, answer, True) == rnd_a[1:] + rnd_a[:1]


class DesfireSession(unittest.TestCase):
    def setUp(self):
        self.card = Card(pcscd_name(READER))
        self.assertEqual(self.card.result, scard.SCARD_S_SUCCESS)
        self.addCleanup(self.card.close)
        self.host = Host(self.card)

    def expect(self, instruction, data, sw=OK):
        self.assertEqual(self.host.frame(instruction, data)[1], sw)

    def test_application_files_data_values(self):
        host = self.host
        self.assertEqual(self.card.send("FFCA000000"), "04A1B2C3D4E5F69000")
        host.authenticate(0)
        self.expect(0xCA, AID + bytes([0x0F, 2]))
        self.expect(0x5A, AID)
        host.authenticate(0)
        rights = bytes([0xEE, 0xEE])
        self.expect(0xCD, bytes([0, 0]) + rights + le(300, 3))
        self.expect(0xCB, bytes([1, 0]) + rights + le(32, 3))
        self.expect(0xCC, bytes([2, 0]) + rights + le(0, 4) + le(1000, 4) + le(100, 4) + b"\1")
        self.expect(0xC1, bytes([3, 0]) + rights + le(8, 3) + le(4, 3))
        self.expect(0xC0, bytes([4, 0]) + rights + le(8, 3) + le(4, 3))
        self.assertEqual(host.frame(0x6F), (bytes(range(5)), OK))

        data = bytes((i * 13) & 0xFF for i in range(300))
        self.assertEqual(host.command(0x3D, bytes([0]) + le(0, 3) + le(300, 3) + data)[1], OK)
        self.assertEqual(host.command(0xBD, bytes([0]) + le(0, 3) + le(0, 3)), (data, OK))

        self.expect(0x0C, bytes([2]) + le(50, 4))
        self.expect(0xDC, bytes([2]) + le(30, 4))
        self.expect(0xC7, b"")
        self.assertEqual(host.frame(0x6C, bytes([2])), (le(120, 4), OK))
        self.expect(0xDC, bytes([2]) + le(121, 4), 0x91BE)

        self.expect(0x3B, bytes([3]) + le(0, 3) + le(3, 3) + b"abc")
        self.expect(0x3D, bytes([1]) + le(0, 3) + le(2, 3) + b"\x11\x22")
        self.expect(0xC7, b"")
        self.assertEqual(host.frame(0xBB, bytes([3]) + le(0, 3) + le(0, 3)), (b"abc" + bytes(5), OK))
        self.expect(0x3D, bytes([1]) + le(0, 3) + le(2, 3) + b"\x33\x44")
        self.expect(0xA7, b"")
        self.assertEqual(host.frame(0xBD, bytes([1]) + le(0, 3) + le(2, 3)), (b"\x11\x22", OK))


def run_session():
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(DesfireSession)
    return 0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1


if __name__ == "__main__":
    if sys.argv[1:] == ["session"]:
        sys.exit(run_session())
    sys.exit(e2e_support.under_pcscd(e2e_support.readers_file(READERS), "session"))
