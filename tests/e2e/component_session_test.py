# SPDX-License-Identifier: Apache-2.0
"""The readers and the component through the real pcscd: pcsc_scan, an independent client, names
the virtual readers' cards from their ATRs; tarsin-rf describes the reader from the driver's
attributes; `readers` and `wait` type the cards, time out, and see a card another process puts."""
import json
import os
import re
import subprocess

import e2e_support
from e2e_support import pcscd_name

READER, CLASSIC_4K, EMPTY, ULTRALIGHT = (f"Tarsin Virtual Reader {n}" for n in range(4))
# What pcsc_scan reports for each card.
SCANNED = {
    READER: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A", "MIFARE Classic 1K"),
    CLASSIC_4K: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69", "MIFARE Classic 4K"),
    ULTRALIGHT: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68", "MIFARE Ultralight"),
}
# The driver answers the friendly name it was configured with, without pcscd's numbers.
READER_TYPE = (f"Device name: {READER}\r\nVendor name: Tarsin\r\n"
               "Type: Virtual contactless reader\r\nVersion: 1.2.3\r\nSerial number: E2E-0\r\n")


def scan():
    out = subprocess.run(["pcsc_scan", "-t", "2"], capture_output=True, text=True, timeout=30).stdout
    out = re.sub(r"\x1b\[[0-9;]*m", "", out)  # drop the colours
    # One section per reader: " Reader N: <name>", then its ATR and the names found for it.
    sections = re.split(r"\n Reader \d+: ", out)
    failures = []
    for name, (atr, card) in SCANNED.items():
        section = next((s for s in sections if s.startswith(pcscd_name(name))), "")
        if "ATR: " + atr not in section or card not in section:
            failures.append(f"pcsc_scan does not report {atr} ({card}) for {name}: {section!r}")
    return failures


def inside():
    """Under pcscd: pcsc_scan, the reader's description, then the readers listing, a wait that
    times out, then one that a card ends."""
    failures = scan()
    home = e2e_support.new_home(card_types=True)
    run = e2e_support.tarsin_rf("call", "--json", "--open", "-p",
                                f"device={pcscd_name(READER)};protocol=2", "ReaderType", home=home)
    calls = [json.loads(line) for line in run.stdout.splitlines()]
    if run.returncode != 0 or calls[-1].get("value") != READER_TYPE:
        failures.append(f"ReaderType exited {run.returncode}: {run.stdout}{run.stderr}")
    listed = e2e_support.tarsin_rf("readers", "--json", home=home)
    types = {r["name"]: r["card"] and r["card"]["type"] for r in json.loads(listed.stdout or "[]")}
    if (types.get(pcscd_name(READER)), types.get(pcscd_name(EMPTY), "?")) != \
            ("MIFARE Classic 1K", None):
        failures.append(f"readers: {listed.returncode} {types} {listed.stderr}")
    waited = e2e_support.tarsin_rf("wait", "-r", pcscd_name(EMPTY), "-t", "0.5", home=home)
    if waited.returncode != 1 or "timeout" not in waited.stderr:
        failures.append(f"wait without a card: {waited.returncode} {waited.stderr}")
    subprocess.Popen(["sh", "-c", "sleep 1; exec \"$0\" virtual insert mifare-ultralight -r \"$1\"",
                      os.environ["TARSIN_RF_CLI"], EMPTY])
    waited = e2e_support.tarsin_rf("wait", "--json", "-r", pcscd_name(EMPTY), "-t", "20", home=home)
    card = json.loads(waited.stdout or "{}").get("card") or {}
    if waited.returncode != 0 or card.get("type") != "MIFARE Ultralight":
        failures.append(f"wait for a card: {waited.returncode} {waited.stdout} {waited.stderr}")
    print(*failures, sep="\n")
    return 1 if failures else 0


if __name__ == "__main__":
    e2e_support.main([
        e2e_support.reader(READER, {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
        e2e_support.reader(CLASSIC_4K, {"type": "mifare-classic-4k", "uid": "0A0B0C0D"}),
        dict(e2e_support.reader(EMPTY, {"type": "mifare-classic-1k", "uid": "01020304"}),
             cardPresent=False),
        e2e_support.reader(ULTRALIGHT, {"type": "mifare-ultralight", "uid": "04112233445566"}),
    ], inside)
