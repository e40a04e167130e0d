"""pyscard through pcscd: a MIFARE Classic session through the driver, and the injected faults
reach clients of the real resource manager. Access conditions and Ultralight pages are checked
in-process (tests/sim, tests/mifare); the reader's attributes and the memory the driver saves by
component_session_test.py; saved memory read back by another process by tests/sim."""
import time
import unittest

import e2e_support
from e2e_support import Card, connect, edit_reader, pcscd_name

CLASSIC = "Tarsin Virtual Reader 0"
FAULTY = "Tarsin Virtual Reader 1"
READERS = [
    e2e_support.reader(CLASSIC, {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
    e2e_support.reader(FAULTY, {"type": "mifare-classic-1k", "uid": "0A0B0C0D"}),
]
DATA = "00112233445566778899AABBCCDDEEFF"


def update_faulty(**fields):
    edit_reader(FAULTY, lambda entry: entry.update(fields))


class Session(unittest.TestCase):
    def test_classic_read_write(self):
        card = connect(self, CLASSIC)
        self.assertEqual(card.send("FFB0000410"), "6982")  # not authenticated
        self.assertEqual(card.send("FF82200006FFFFFFFFFFFF"), "9000")
        self.assertEqual(card.send("FF860000050100046000"), "9000")
        self.assertEqual(card.send("FFD6000410" + DATA), "9000")
        self.assertEqual(card.send("FFB0000410"), DATA + "9000")

    def test_injected_faults(self):
        card = connect(self, FAULTY)
        update_faulty(faults={"statusWords": ["6A82"]})
        self.assertEqual(card.send("FFCA000000"), "6A82")
        self.assertEqual(card.send("FFCA000000"), "0A0B0C0D9000")
        update_faulty(faults={"transmitResults": [0x80100013]})
        self.assertTrue(card.send("FFCA000000").startswith("ERR:"))
        update_faulty(cardPresent=False)
        time.sleep(1.5)  # pcscd polls the card presence
        self.assertEqual(card.send("FFCA000000"), "ERR:80100069")
        other = Card(pcscd_name(FAULTY))
        self.assertEqual(other.result & 0xFFFFFFFF, 0x8010000C)


if __name__ == "__main__":
    e2e_support.main(READERS, Session)
