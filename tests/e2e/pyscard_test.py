# SPDX-License-Identifier: Apache-2.0
"""pyscard, an independent client, through pcscd. A transmission fault injected into a MIFARE
Classic reader reaches it as the real resource manager reports it, for that exchange only. A host
of its own (DES from python3-cryptography) drives the virtual DESFire EV1 with the legacy
protocol: a MACed file, and the card's one state shared with another process."""
import os
import unittest
import warnings

import e2e_support
from e2e_support import edit_reader

with warnings.catch_warnings():
    warnings.simplefilter("ignore")
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

READER, FAULTY = "Tarsin Virtual Reader 0", "Tarsin Virtual Reader 1"
READERS = [e2e_support.reader(READER, {"type": "mifare-desfire-ev1-4k", "uid": "04A1B2C3D4E5F6"}),
           e2e_support.reader(FAULTY, {"type": "mifare-classic-1k", "uid": "0A0B0C0D"})]
ZERO_KEY = bytes(16)
OK = 0x9100

def des(key, data, decrypt, mode=None):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        cipher = Cipher(algorithms.TripleDES(key), mode or modes.ECB())
    worker = cipher.decryptor() if decrypt else cipher.encryptor()
    return worker.update(data) + worker.finalize()


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def encipher(key, plain):
    """Host to card: each block deciphered after adding the previous result, zero padded."""
    plain += bytes(-len(plain) % 8)
    out = chain = bytes(8)
    for i in range(0, len(plain), 8):
        chain = des(key, xor(plain[i:i + 8], chain), True)
        out += chain
    return out[8:]


def decipher(key, cipher):
    """Card to host: CBC deciphering from a zero vector."""
    return des(key, cipher, True, modes.CBC(bytes(8)))


def mac(key, data):
    return des(key, data + bytes(-len(data) % 8), False, modes.CBC(bytes(8)))[-8:-4]


class Host:
    def __init__(self, card):
        self.card = card

    def frame(self, instruction, data=b""):
        apdu = bytes([0x90, instruction, 0, 0]) + (bytes([len(data)]) + data if data else b"") + b"\0"
        answer = bytes.fromhex(self.card.send(apdu.hex()))
        return answer[:-2], int.from_bytes(answer[-2:], "big")

    def authenticate(self, key_number, key=ZERO_KEY):
        """The legacy authentication; the session key is kept for later cryptograms."""
        challenge, sw = self.frame(0x0A, bytes([key_number]))
        assert sw == 0x91AF, hex(sw)
        rnd_b, rnd_a = decipher(key, challenge), os.urandom(8)
        answer, sw = self.frame(0xAF, encipher(key, rnd_a + rnd_b[1:] + rnd_b[:1]))
        assert sw == OK and decipher(key, answer) == rnd_a[1:] + rnd_a[:1], hex(sw)
        second = 0 if key[:8] == key[8:] else 4
        self.session = rnd_a[:4] + rnd_b[:4] + rnd_a[second:second + 4] + rnd_b[second:second + 4]


def other_process(*calls):
    """The exit status of tarsin-rf running `calls` on the in-process provider: the readers file
    is the one place it and pcscd's driver go to."""
    return e2e_support.tarsin_rf("run", "--virtual", "--open", "--stop-on-error", "-p",
                                 f"device={READER};protocol=2;open_mode=2", "-",
                                 script="\n".join(calls)).returncode


class Session(unittest.TestCase):
    def setUp(self):
        self.card = e2e_support.connect(self, READER)
        self.host = Host(self.card)

    def expect(self, instruction, data, sw=OK):
        self.assertEqual(self.host.frame(instruction, data)[1], sw)

    def enter(self, aid, keys):
        """A new application, selected, with a session under its master key."""
        self.expect(0x5A, bytes(3))
        self.host.authenticate(0)
        self.expect(0xCA, aid + bytes([0x0F, keys]))
        self.expect(0x5A, aid)
        self.host.authenticate(0)

    def test_injected_faults(self):
        card = e2e_support.connect(self, FAULTY)
        edit_reader(FAULTY, lambda entry: entry.update(faults={"transmitResults": [0x80100013]}))
        self.assertTrue(card.send("FFCA000000").startswith("ERR:"))
        self.assertEqual(card.send("FFCA000000"), "0A0B0C0D9000")

    def test_one_card_one_state_across_processes(self):
        """pcscd's driver and tarsin-rf on the in-process provider, in another process, share the
        card's one state: the other process's selection ends this transaction, its commit stands,
        this commit finds nothing pending, and its authentication, even failed, ends this one's."""
        self.enter(bytes.fromhex("090807"), 1)
        self.expect(0xCB, bytes.fromhex("01 00 EEEE 040000"))
        self.expect(0x3D, bytes.fromhex("01 000000 040000 11111111"))
        select = 'DESFireSelectApplication "090807", 0, "%s"'
        write = 'DESFireWriteData 1, 0, 4, "22222222", True'
        self.assertEqual(other_process(select % ("00" * 8), write, "DESFireCommitTransaction"), 0)
        self.expect(0xC7, b"", 0x910C)
        self.assertEqual(self.host.frame(0xBD, bytes.fromhex("01 000000 040000")),
                         (bytes.fromhex("22222222"), OK))
        self.host.authenticate(0)
        self.assertEqual(other_process(select % ("11" * 8)), 1)  # a wrong key
        self.expect(0x51, b"", 0x91AE)

    def test_a_maced_write_is_checked(self):
        """A MACed write needs the session's MAC (enciphered legacy values: libfreefare_test)."""
        host = self.host
        self.enter(bytes.fromhex("060504"), 2)
        self.expect(0xCD, bytes.fromhex("01 01 1111 280000"))  # MACed, key 1
        header, data = bytes.fromhex("01 000000 0A0000"), bytes(range(1, 11))
        host.authenticate(1)
        self.expect(0x3D, header + data + xor(mac(host.session, data), b"\1\0\0\0"), 0x911E)
        host.authenticate(1)
        self.expect(0x3D, header + data + mac(host.session, data))
        self.assertEqual(host.frame(0xBD, header), (data + mac(host.session, data), OK))


if __name__ == "__main__":
    e2e_support.main(READERS, Session)
