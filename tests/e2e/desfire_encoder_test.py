"""DESFire personalisation through the real pcscd, driven by `tarsin-rf run --json`: the card
level selected, an application created with three keys, its keys and settings changed, each new
key proved by authenticating with it, files created and listed, data written and read back, a
value credited and committed, the application listed, deleted, and the card formatted; then the
personalisation example. File settings, records and deletion: tests/desfire."""
import json
import os

import e2e_support

READER = "Tarsin Virtual Reader 1"
ZERO = "0000000000000000"
TRIPLE = "00112233445566778899AABBCCDDEEFF"
SCRIPT = f"""
Parameters = "device={e2e_support.pcscd_name(READER)};protocol=2"
OpenEncoder 0
DESFireSelectRoot "{ZERO}"
DESFireCreateApplication "F10203", 15, 3
DESFireGetApplications ""
DESFireSelectApplication "F10203", 0, "{ZERO}"
DESFireChangeKey 1, "{ZERO}", "{TRIPLE}"
DESFireChangeKey 0, "{ZERO}", "0123456789ABCDEF"
DESFireSelectApplication "F10203", 0, "0123456789ABCDEF"
DESFireCreateStdDataFile 15, 0, 1, 2, 3, 0, 32
DESFireCreateBackupDataFile 7, 1, 14, 14, 14, 14, 100
DESFireCreateValueFile 2, 3, 0, 0, 0, 0, -100, 100, 0, True
DESFireCreateCyclicRecordFile 0, 0, 1, 1, 1, 1, 1, 2
DESFireWriteData 7, 0, 0, "010203", True
DESFireCreateValueFile 4, 0, 14, 14, 14, 14, -100, 100, 5, True
DESFireCredit 4, 20
DESFireCommitTransaction
DESFireReadData 7, 0, 0, "", True
DESFireGetValue 4, 0
DESFireGetFileIDs ""
DESFireChangeKeySettings 11
DESFireSelectApplication "F10203", 1, "{TRIPLE}"
DESFireGetKeyVersion 1, 0
DESFireGetVersion -1, 0
DESFireSelectRoot "{ZERO}"
DESFireDeleteApplication "F10203"
DESFireFormat
CloseEncoder
"""


def inside():
    run = e2e_support.tarsin_rf("run", "--json", "-", script=SCRIPT)
    calls = [json.loads(line) for line in run.stdout.splitlines()]
    failures = [f"line {n}: {c['member']} {c.get('result')} {c.get('error')}"
                for n, c in enumerate(calls, 2) if c.get("result") not in (None, "scesuccess")]
    outputs = {c["member"]: c.get("outputs", {}) for c in calls}
    expected = {"DESFireGetApplications": {"Applications": "F10203"},
                "DESFireGetKeyVersion": {"KeyVersion": 0x55},
                "DESFireGetFileIDs": {"FileIds": "0,2,4,7,15"},
                "DESFireReadData": {"DataString": "01 02 03" + " 00" * 97},
                "DESFireGetValue": {"ValueData": 25},
                "DESFireGetVersion": {"Information": 4096}}
    failures += [f"{member}: {outputs.get(member)!r}, expected {wanted!r}"
                 for member, wanted in expected.items() if outputs.get(member) != wanted]
    if run.returncode != 0 or len(calls) != SCRIPT.strip().count("\n") + 1:
        failures.append(f"tarsin-rf run exited {run.returncode}: {run.stderr}")
    # The card is blank again: the personalisation example, as the main job runs it on a real
    # reader.
    example = os.path.join(os.path.dirname(os.environ["TARSIN_RF_CARD_TYPES"]),
                           "desfire-personalise.txt")
    run = e2e_support.tarsin_rf("run", "--stop-on-error", "--params",
                                f"device={e2e_support.pcscd_name(READER)};protocol=2", example)
    if run.returncode != 0 or 'Applications = "A1A2A3,B1B2B3"' not in run.stdout:
        failures.append(f"the example exited {run.returncode}: {run.stdout[-400:]}{run.stderr}")
    print(*failures, sep="\n")
    return 1 if failures else 0


if __name__ == "__main__":
    e2e_support.main([e2e_support.reader(READER, {"type": "mifare-desfire-ev1-4k",
                                                  "uid": "04112233445566"})], inside)
