"""The component through the real pcscd: open, identify a 1K card from its ATR through the
registry's card-type table, read the UID, a pass-through command, the reader's description, close.
Driven by `tarsin-rf run --json`, so it also checks the shell host's output."""
import json
import os
import subprocess
import sys
import tempfile

import e2e_support

READER = "Tarsin Virtual Reader 0"
ATR_1K = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A"
SCRIPT = f"""
Parameters = "device={e2e_support.pcscd_name(READER)};protocol=2;open_mode=2"
OpenEncoder 0
ATRString
CardType
SerialNumberLength
EscapeExt "ff ca-00 00 00", "", ""
ReaderType
CloseEncoder
"""


def environment():
    folder = tempfile.mkdtemp(prefix="tarsin-e2e-component-")
    os.makedirs(os.path.join(folder, "data", "Quillon", "Nemora"))
    env = dict(os.environ, TARSIN_RF_REGISTRY_DIR=folder,
               XDG_DATA_HOME=os.path.join(folder, "data"))
    env.pop("TARSIN_RF_PCSC_LIBRARY", None)  # the real pcsc-lite, talking to pcscd
    return env


def inside():
    env = environment()
    cli = os.environ["TARSIN_RF_CLI"]
    subprocess.run([cli, "reg", "import", os.environ["TARSIN_RF_CARD_TYPES"]], env=env, check=True)
    run = subprocess.run([cli, "run", "--json", "-"], input=SCRIPT, capture_output=True,
                         text=True, env=env, timeout=60)
    calls = {c["member"]: c for c in map(json.loads, run.stdout.splitlines())}
    expected = {
        "OpenEncoder": ("result", "scesuccess"),
        "ATRString": ("value", ATR_1K),
        "CardType": ("value", 17),
        "SerialNumberLength": ("value", 4),
        "EscapeExt": ("result", "scesuccess"),
        "CloseEncoder": ("result", "scesuccess"),
    }
    failures = []
    for member, (field, value) in expected.items():
        got = calls.get(member, {}).get(field)
        if got != value:
            failures.append(f"{member}: {field} {got!r}, expected {value!r}")
    escape = calls.get("EscapeExt", {}).get("outputs", {})
    if escape != {"Response": "04 A1 B2 C3", "RetCode": "90 00"}:
        failures.append(f"EscapeExt outputs {escape!r}")
    description = calls.get("ReaderType", {}).get("value") or ""
    # The driver answers the friendly name it was configured with, without pcscd's numbers.
    for line in ("Device name: " + READER, "Vendor name: Tarsin",
                 "Type: Virtual contactless reader", "Version: ", "Serial number: E2E-0"):
        if line + ("" if line.endswith(" ") else "\r\n") not in description:
            failures.append(f"ReaderType lacks {line!r}: {description!r}")
    if run.returncode != 0:
        failures.append(f"tarsin-rf run exited {run.returncode}: {run.stderr}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1:] == ["inside"]:
        sys.exit(inside())
    readers = [e2e_support.reader(READER, {"type": "mifare-classic-1k", "uid": "04A1B2C3"})]
    sys.exit(e2e_support.under_pcscd(e2e_support.readers_file(readers), "inside"))
