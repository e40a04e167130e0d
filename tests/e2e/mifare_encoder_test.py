"""The component through the real pcscd: tarsin-rf reads, writes and re-keys a MIFARE Classic
sector on the virtual reader's driver, `tarsin-rf encode` encodes a blank card and fails without
one, and the cards' saved memory shows what was written."""
import json
import os
import subprocess
import sys
import tempfile

import e2e_support
from e2e_support import pcscd_name

READER = "Tarsin Virtual Reader 0"
ENCODED = "Tarsin Virtual Reader 1"
EMPTY = "Tarsin Virtual Reader 2"
TRANSPORT = "FFFFFFFFFFFF"
KEY_A = "A0A1A2A3A4A5"
KEY_B = "B0B1B2B3B4B5"
DATA = "00112233445566778899AABBCCDDEEFF"
VALUE_MINUS_2 = "FEFFFFFF01000000FEFFFFFFFF00FF00"
# Block 4 read/write rights (100), block 5 value rights (110, written as a value block first),
# block 6 and the trailer key B only (011).
TRAILER = KEY_A + "1C33CE69" + KEY_B

SCRIPT = f"""
Parameters = "device={pcscd_name(READER)};protocol=2;open_mode=2"
OpenEncoder 0
ReadSerialNumber ""
MifareWriteDataBloc 4, "{TRANSPORT}", 1, "{DATA}"
MifareReadDataBloc 4, "{TRANSPORT}", 1, ""
MifareWriteValueBloc 5, "{TRANSPORT}", 1, -2
MifareWriteSectorTrailer 1, "{TRANSPORT}", 1, "{KEY_A}", "{KEY_B}", 2, 13, 13, 12, 12
MifareReadSectorTrailer 1, "{KEY_A}", 1, 0, 0, 0, 0, 0, 0
MifareReadDataBloc 4, "{TRANSPORT}", 1, ""
MifareReadDataBloc 4, "{KEY_B}", 0, ""
CloseEncoder
"""


def tarsin_rf(*args, script=None):
    """tarsin-rf on the real libpcsclite (hence pcscd), its log and registry in a folder of its
    own."""
    env = dict(os.environ)
    env.pop("TARSIN_RF_PCSC_LIBRARY", None)
    folder = tempfile.mkdtemp(prefix="tarsin-e2e-home-")
    os.makedirs(os.path.join(folder, "Quillon/Nemora"))
    env.update(XDG_DATA_HOME=folder, TARSIN_RF_REGISTRY_DIR=folder)
    return subprocess.run([os.environ["TARSIN_RF_CLI"], *args], input=script, env=env,
                          capture_output=True, text=True, timeout=120)


def encode(reader):
    return tarsin_rf("encode", "--parameters",
                     f"device={pcscd_name(reader)};protocol=2;open_mode=2").returncode


def run_component():
    """Under pcscd: the script through tarsin-rf, one JSON object per call; then the main job on
    a blank card and on a reader without a card."""
    done = tarsin_rf("run", "--json", "-", script=SCRIPT)
    calls = [json.loads(line) for line in done.stdout.splitlines()]
    results = [(c["member"], c["result"], c["outputs"], c["error"]) for c in calls]
    for member, result, outputs, error in results:
        print(member, result, outputs, error["Number"], error["RdrCommand"], error["RdrRetCode"])
    expected = [None] + ["scesuccess"] * 7 + ["sceError", "scesuccess", "scesuccess"]
    check = [r[1] for r in results] == expected
    check &= results[1][3]["Number"] == 0  # a card was found
    check &= results[2][2] == {"SerialNumber": "04A1B2C3"}
    check &= results[4][2]["BlocContents"] == DATA
    check &= results[7][2] == {"KeysUsed": 2, "Security0": 13, "Security1": 13, "Security2": 12,
                               "Conditions": 12, "BX": 0x69}
    wrong_key = results[8][3]
    check &= (wrong_key["Number"] & 0xFFFFFFFF == 0x90010F04
              and wrong_key["ComFunction"] == "MifareReadDataBloc"
              and wrong_key["RdrCommand"]
              == "MifareAuthenticate:EncoderCommand:SCardTransmit:GeneralAuthenticate"
              and wrong_key["RdrRetCode"] == "6300")
    check &= results[9][2]["BlocContents"] == DATA
    if not check:
        print(done.stderr, file=sys.stderr)
    encoded, refused = encode(ENCODED), encode(EMPTY)
    print("encode:", encoded, "without a card:", refused)
    return 0 if check and encoded == 0 and refused == 1 else 1


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
    if sys.argv[1:] == ["run"]:
        sys.exit(run_component())
    readers = e2e_support.readers_file([
        e2e_support.reader(READER, {"type": "mifare-classic-1k", "uid": "04A1B2C3"}),
        e2e_support.reader(ENCODED, {"type": "mifare-classic-4k", "uid": "0A0B0C0D"}),
        dict(e2e_support.reader(EMPTY, {"type": "mifare-classic-1k", "uid": "01020304"}),
             cardPresent=False),
    ])
    sys.exit(e2e_support.under_pcscd(readers, "run") or card_memory(readers))
