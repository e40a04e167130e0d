"""The readers and the component through the real pcscd. pcsc_scan, an independent client, lists
the virtual readers and names their cards from the ATRs. `tarsin-rf run --json` (so the shell
host's output is checked too) opens, identifies a 1K card from its ATR through the registry's
card-type table, sends a pass-through command, describes the reader from the driver's attributes,
then writes and reads a block. `tarsin-rf encode` encodes a blank card and fails without one, the
DESFire personalisation example runs as on a real reader, and the cards' saved memory shows what
was written. Sector trailers, values, keys and their refusals: tests/mifare; the DESFire members
one by one: tests/desfire; the JSON of failed calls: tests/host. `tarsin-rf readers` and `wait`
list the cards with their types, time out on an empty reader and see a card another process puts
there."""
import json
import os
import re
import subprocess
import sys

import e2e_support
from e2e_support import pcscd_name

READER = "Tarsin Virtual Reader 0"
ENCODED = "Tarsin Virtual Reader 1"
EMPTY = "Tarsin Virtual Reader 2"
ULTRALIGHT = "Tarsin Virtual Reader 3"
DESFIRE = "Tarsin Virtual Reader 4"
ATR_1K = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A"
# What pcsc_scan reports for each card.
SCANNED = {
    READER: (ATR_1K, "MIFARE Classic 1K"),
    ENCODED: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69", "MIFARE Classic 4K"),
    ULTRALIGHT: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68", "MIFARE Ultralight"),
}
TRANSPORT = "FFFFFFFFFFFF"
DATA = "00112233445566778899AABBCCDDEEFF"
OK = {"result": "scesuccess"}

# Each call of the script, with what its JSON object holds (in part, for `outputs` and `error`).
CALLS = [
    (f'Parameters = "device={pcscd_name(READER)};protocol=2;open_mode=2"', {}),
    ("OpenEncoder 0", {"result": "scesuccess", "error": {"Number": 0}}),  # a card was found
    ("ATRString", {"value": ATR_1K}),
    ("CardType", {"value": 17}),
    ("SerialNumberLength", {"value": 4}),
    ('EscapeExt "ff ca-00 00 00", "", ""',
     {"result": "scesuccess", "outputs": {"Response": "04 A1 B2 C3", "RetCode": "90 00"}}),
    # The driver answers the friendly name it was configured with, without pcscd's numbers.
    ("ReaderType", {"value": f"Device name: {READER}\r\nVendor name: Tarsin\r\n"
                             "Type: Virtual contactless reader\r\nVersion: 1.2.3\r\n"
                             "Serial number: E2E-0\r\n"}),
    (f'MifareWriteDataBloc 4, "{TRANSPORT}", 1, "{DATA}"', OK),
    (f'MifareReadDataBloc 4, "{TRANSPORT}", 1, ""',
     {"result": "scesuccess", "outputs": {"BlocContents": DATA}}),
    ("CloseEncoder", OK),
]


def encode(reader):
    return e2e_support.tarsin_rf("encode", "--reader", pcscd_name(reader)).returncode


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
    """Under pcscd: pcsc_scan, the script, then the main job on a blank card and on a reader
    without one."""
    failures = scan()
    home = e2e_support.new_home(card_types=True)
    run = e2e_support.tarsin_rf("run", "--json", "-", home=home,
                                script="\n".join(line for line, _ in CALLS))
    calls = [json.loads(line) for line in run.stdout.splitlines()]
    if len(calls) != len(CALLS):
        failures.append(f"{len(calls)} calls: {run.stderr}")
    for call, (line, expected) in zip(calls, CALLS):
        for field, value in expected.items():
            got = call.get(field)
            if isinstance(value, dict) and isinstance(got, dict):
                got = {key: got.get(key) for key in value}
            if got != value:
                failures.append(f"{line}: {field} {got!r}, expected {value!r}")
    if run.returncode != 0:
        failures.append(f"tarsin-rf run exited {run.returncode}: {run.stderr}")
    encoded, refused = encode(ENCODED), encode(EMPTY)
    if (encoded, refused) != (0, 1):
        failures.append(f"encode: {encoded}, without a card: {refused}")
    failures += readers_and_arrival(home)
    example = os.path.join(os.path.dirname(os.environ["TARSIN_RF_CARD_TYPES"]),
                           "desfire-personalise.txt")
    run = e2e_support.tarsin_rf("run", "--stop-on-error", "--params",
                                f"device={pcscd_name(DESFIRE)};protocol=2", example)
    if run.returncode != 0 or 'Applications = "A1A2A3,B1B2B3"' not in run.stdout:
        failures.append(f"the example exited {run.returncode}: {run.stdout[-400:]}{run.stderr}")
    print(*failures, sep="\n")
    return 1 if failures else 0


def readers_and_arrival(home):
    """Through pcscd: the listing, a wait that times out, then one that a card ends."""
    failures = []
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
    return failures


def card_memory(path):
    """pcscd has stopped: the card's memory as the driver saved it."""
    with open(path) as f:
        readers = json.load(f)["readers"]
    blocks = readers[0]["card"]["blocks"]
    encoded = readers[1]["card"]["blocks"]
    ok = blocks[4] == DATA
    ok &= encoded[4] == "54415253494E2052462044454D4F2031"  # "TARSIN RF DEMO 1"
    ok &= encoded[5] == "64000000" "9BFFFFFF" "64000000" "FF00FF00"  # 100
    if not ok:
        print("card memory:", blocks[4], encoded[4:6], file=sys.stderr)
    return 0 if ok else 1


if __name__ == "__main__":
    e2e_support.main([
        e2e_support.reader(READER, {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
        e2e_support.reader(ENCODED, {"type": "mifare-classic-4k", "uid": "0A0B0C0D"}),
        dict(e2e_support.reader(EMPTY, {"type": "mifare-classic-1k", "uid": "01020304"}),
             cardPresent=False),
        e2e_support.reader(ULTRALIGHT, {"type": "mifare-ultralight", "uid": "04112233445566"}),
        e2e_support.reader(DESFIRE, {"type": "mifare-desfire-ev1-4k", "uid": "04112233445566"}),
    ], inside, after=card_memory)
