"""pyscard through pcscd: the faults injected into a MIFARE Classic reader reach clients of the
real resource manager. The session's commands are checked by tests/sim (the card's answers) and
tests/pcsc (the component's frames), and through pcscd by component_session_test.py."""
import time
import unittest

import e2e_support
from e2e_support import Card, connect, edit_reader, pcscd_name

FAULTY = "Tarsin Virtual Reader 0"
READERS = [e2e_support.reader(FAULTY, {"type": "mifare-classic-1k", "uid": "0A0B0C0D"})]


def update_faulty(**fields):
    edit_reader(FAULTY, lambda entry: entry.update(fields))


class Session(unittest.TestCase):
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
