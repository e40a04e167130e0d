"""pcsc_scan, an independent client, lists the virtual readers through pcscd and names their
cards from the ATRs."""
import re
import subprocess

import e2e_support

READERS = [
    e2e_support.reader("Tarsin Virtual Reader 0", {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
    e2e_support.reader("Tarsin Virtual Reader 1", {"type": "mifare-classic-4k", "uid": "04112233445566"}),
    e2e_support.reader("Tarsin Virtual Reader 2", {"type": "mifare-ultralight", "uid": "04112233445566"}),
]
EXPECTED = {
    "Tarsin Virtual Reader 0 00 00": ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A",
                                      "MIFARE Classic 1K"),
    "Tarsin Virtual Reader 1 00 00": ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69",
                                      "MIFARE Classic 4K"),
    "Tarsin Virtual Reader 2 00 00": ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68",
                                      "MIFARE Ultralight"),
}


def inside():
    failures = []
    out = subprocess.run(["pcsc_scan", "-t", "2"], capture_output=True, text=True, timeout=30).stdout
    out = re.sub(r"\x1b\[[0-9;]*m", "", out)  # drop the colours
    # One section per reader: " Reader N: <name>", then its ATR and the names found for it.
    sections = re.split(r"\n Reader \d+: ", out)
    for name, (atr, card) in EXPECTED.items():
        section = next((s for s in sections if s.startswith(name)), "")
        if "ATR: " + atr not in section:
            failures.append("%s: ATR %s not reported" % (name, atr))
        if card not in section:
            failures.append("%s: card not named %s" % (name, card))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    e2e_support.main(READERS, inside)
