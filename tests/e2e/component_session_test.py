"""The readers and the component through the real pcscd. pcsc_scan, an independent client, lists
the virtual readers and names their cards from the ATRs. `tarsin-rf run --json` (so the shell
host's output is checked too) opens, identifies a 1K card from its ATR through the registry's
card-type table, sends a pass-through command, describes the reader, then reads, writes and re-keys
a MIFARE Classic sector. `tarsin-rf encode` encodes a blank card and fails without one, and the
cards' saved memory shows what was written."""
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
ATR_1K = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A"
# What pcsc_scan reports for each card.
SCANNED = {
    READER: (ATR_1K, "MIFARE Classic 1K"),
    ENCODED: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69", "MIFARE Classic 4K"),
    ULTRALIGHT: ("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68", "MIFARE Ultralight"),
}
TRANSPORT = "FFFFFFFFFFFF"
KEY_A = "A0A1A2A3A4A5"
KEY_B = "B0B1B2B3B4B5"
DATA = "00112233445566778899AABBCCDDEEFF"
VALUE_MINUS_2 = "FEFFFFFF01000000FEFFFFFFFF00FF00"
# Block 4 read/write rights (100), block 5 value rights (110, written as a value block first),
# block 6 and the trailer key B only (011).
TRAILER = KEY_A + "1C33CE69" + KEY_B
OK = {"result": "scesuccess"}
READ_DATA = {"result": "scesuccess", "outputs": {"BlocContents": DATA}}

# Each call of the script, with what its JSON object holds (in part, for `outputs` and `error`).
CALLS = [
    (f'Parameters = "device={pcscd_name(READER)};protocol=2;open_mode=2"', {}),
    ("OpenEncoder 0", {"result": "scesuccess", "error": {"Number": 0}}),  # a card was found
    ("ATRString", {"value": ATR_1K}),
    ("CardType", {"value": 17}),
    ("SerialNumberLength", {"value": 4}),
    ('EscapeExt "ff ca-00 00 00", "", ""',
     {"result": "scesuccess", "outputs": {"Response": "04 A1 B2 C3", "RetCode": "90 00"}}),
    ("ReaderType", {}),  # below
    (f'MifareWriteDataBloc 4, "{TRANSPORT}", 1, "{DATA}"', OK),
    (f'MifareReadDataBloc 4, "{TRANSPORT}", 1, ""', READ_DATA),
    (f'MifareWriteValueBloc 5, "{TRANSPORT}", 1, -2', OK),
    (f'MifareWriteSectorTrailer 1, "{TRANSPORT}", 1, "{KEY_A}", "{KEY_B}", 2, 13, 13, 12, 12', OK),
    (f'MifareReadSectorTrailer 1, "{KEY_A}", 1, 0, 0, 0, 0, 0, 0',
     {"result": "scesuccess", "outputs": {"KeysUsed": 2, "Security0": 13, "Security1": 13,
                                          "Security2": 12, "Conditions": 12, "BX": 0x69}}),
    (f'MifareReadDataBloc 4, "{TRANSPORT}", 1, ""',  # the transport key is gone
     {"result": "sceError", "error": {
         "Number": 0x90010F04 - (1 << 32), "ComFunction": "MifareReadDataBloc",
         "RdrCommand": "MifareAuthenticate:EncoderCommand:SCardTransmit:GeneralAuthenticate",
         "RdrRetCode": "6300"}}),
    (f'MifareReadDataBloc 4, "{KEY_B}", 0, ""', READ_DATA),
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
    home = e2e_support.new_home()
    e2e_support.tarsin_rf("reg", "import", os.environ["TARSIN_RF_CARD_TYPES"],
                          home=home).check_returncode()
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
    description = (calls[6].get("value") or "") if len(calls) > 6 else ""
    # The driver answers the friendly name it was configured with, without pcscd's numbers.
    for line in ("Device name: " + READER, "Vendor name: Tarsin",
                 "Type: Virtual contactless reader", "Version: 1.2.3", "Serial number: E2E-0"):
        if line + ("" if line.endswith(" ") else "\r\n") not in description:
            failures.append(f"ReaderType lacks {line!r}: {description!r}")
    if run.returncode != 1:  # one call failed, as it should
        failures.append(f"tarsin-rf run exited {run.returncode}: {run.stderr}")
    encoded, refused = encode(ENCODED), encode(EMPTY)
    if (encoded, refused) != (0, 1):
        failures.append(f"encode: {encoded}, without a card: {refused}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def card_memory(path):
    """pcscd has stopped: the card's memory as the driver saved it."""
    with open(path) as f:
        readers = json.load(f)["readers"]
    blocks = readers[0]["card"]["blocks"]
    encoded = readers[1]["card"]["blocks"]
    ok = blocks[4] == DATA and blocks[5] == VALUE_MINUS_2 and blocks[7] == TRAILER
    ok &= encoded[4] == "54415253494E2052462044454D4F2031"  # "TARSIN RF DEMO 1"
    ok &= encoded[5] == "64000000" "9BFFFFFF" "64000000" "FF00FF00"  # 100
    if not ok:
        print("card memory:", blocks[4:8], encoded[4:6], file=sys.stderr)
    return 0 if ok else 1


if __name__ == "__main__":
    if sys.argv[1:] == ["inside"]:
        sys.exit(inside())
    readers = e2e_support.readers_file([
        e2e_support.reader(READER, {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
        e2e_support.reader(ENCODED, {"type": "mifare-classic-4k", "uid": "0A0B0C0D"}),
        dict(e2e_support.reader(EMPTY, {"type": "mifare-classic-1k", "uid": "01020304"}),
             cardPresent=False),
        e2e_support.reader(ULTRALIGHT, {"type": "mifare-ultralight", "uid": "04112233445566"}),
    ])
    sys.exit(e2e_support.under_pcscd(readers, "inside") or card_memory(readers))
