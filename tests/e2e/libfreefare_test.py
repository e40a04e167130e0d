# SPDX-License-Identifier: Apache-2.0
"""libfreefare, an independent DESFire client with its own crypto, through libnfc's PC/SC driver
and the real pcscd: its C API (libfreefare_ev1_test.c) and the component each read back what the
other wrote; its tools make the card an NDEF type 4 tag and read a message back across frames.
Debian's libnfc has no PC/SC driver: scripts/build-libnfc-pcsc.sh builds one, put first in
LD_LIBRARY_PATH. Without it, the tools or the client (libfreefare-dev), the test skips (77)."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import e2e_support

READER = "Tarsin DESFire"
LIBNFC = os.environ.get("TARSIN_RF_LIBNFC_PCSC", "/opt/libnfc-pcsc/lib")
CLIENT = os.environ.get("TARSIN_RF_LIBFREEFARE_EV1", "")
EXAMPLES = os.path.join(e2e_support.HERE, "..", "..", "examples")
TOOLS = ("mifare-desfire-format", "mifare-desfire-create-ndef", "mifare-desfire-write-ndef",
         "mifare-desfire-read-ndef", "mifare-desfire-ev1-configure-default-key")
TEXT = b"Tarsin RF virtual DESFire, read back through libfreefare. " * 3
# One well-known text record ("en"), long enough to cross several frames.
MESSAGE = bytes([0xD1, 0x01, 3 + len(TEXT), 0x54, 0x02]) + b"en" + TEXT


def failure(command):
    """`command`'s output if it fails, run on the virtual reader only (a scan finds it twice)."""
    libraries = LIBNFC + os.pathsep + os.environ.get("LD_LIBRARY_PATH", "")
    env = dict(os.environ, LD_LIBRARY_PATH=libraries, LIBNFC_AUTO_SCAN="false",
               LIBNFC_INTRUSIVE_SCAN="false",
               LIBNFC_DEVICE="pcsc:" + e2e_support.pcscd_name(READER))
    run = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                         text=True, timeout=120)
    # A tool that finds no DESFire card exits 0 without a word about it.
    if run.returncode != 0 or (command[0] in TOOLS and "Found Mifare DESFire" not in run.stdout):
        return f"{command[0]} exited {run.returncode}:\n{run.stdout}{run.stderr}"
    return None


def component(script):
    """`script` run by the component through pcscd: its calls, and whether every one succeeded."""
    params = f"device={e2e_support.pcscd_name(READER)};protocol=2;open_mode=2"
    run = e2e_support.tarsin_rf("run", "--json", "--params", params, script)
    calls = [json.loads(line) for line in run.stdout.splitlines()]
    ok = run.returncode == 0 and all(c["result"] in (None, "scesuccess") for c in calls)
    if not ok:
        print(f"tarsin-rf run {script} exited {run.returncode}:\n{run.stdout}{run.stderr}")
    return calls, ok


def spaced(data):
    return " ".join(f"{byte:02X}" for byte in data)


# The component's legacy application 5A5A5A for the client to read back: a two-key key
# authenticated the legacy way, MACed and enciphered files, an enciphered value of 10 + 67.
LEGACY_SCRIPT = """OpenEncoder 0
DESFireSelectRoot "0000000000000000"
DESFireCreateApplication "5A5A5A", 15, 1
DESFireSelectApplication "5A5A5A", 0, "0000000000000000"
DESFireChangeKey 0, "0000000000000000", "00112233445566778899AABBCCDDEEFF"
DESFireSelectApplication "5A5A5A", 0, "00112233445566778899AABBCCDDEEFF"
DESFireCreateStdDataFile 2, 1, 0, 0, 0, 0, 40
DESFireWriteData 2, 0, 0, "LEGACY MACED BY TARSIN RF", False
DESFireCreateStdDataFile 3, 3, 0, 0, 0, 0, 40
DESFireWriteData 3, 0, 0, "LEGACY ENCIPHERED BY TARSIN RF", False
DESFireCreateValueFile 4, 3, 0, 0, 0, 0, 0, 1000, 10, False
DESFireCredit 4, 67
DESFireCommitTransaction
CloseEncoder
"""


def read_libfreefare_application(folder):
    """None when the component reads the client's applications as the client wrote them, else
    what differs: the AES one (0xAE5AE5, sent as E5 5A AE), plain, MACed, enciphered, value and
    record files; the legacy 4C4C4C in a two-key session, MACed, enciphered, value and record."""
    script = os.path.join(folder, "read.txt")
    reads = ['DESFireReadData 8, 0, 22, "", False', 'DESFireReadData 2, 0, 0, "", True',
             'DESFireReadData 3, 0, 0, "", True', "DESFireGetValue 4, 0",
             'DESFireReadRecords 5, 0, 0, "", True', 'DESFireReadRecords 7, 0, 0, "", True']
    with open(script, "w") as out:
        out.write('OpenEncoder 0\nDESFireSelectApplication "E55AAE", 0, '
                  '"AES:00102030405060708090A0B0C0D0E0F0"\nDESFireGetKeyVersion 2, 0\n')
        out.write("".join(f"{line}\n" for line in reads))
        out.write('DESFireSelectApplication "4C4C4C", 0, "00112233445566778899AABBCCDDEEFF"\n'
                  'DESFireReadData 2, 0, 27, "", False\nDESFireReadData 3, 0, 32, "", False\n'
                  'DESFireGetValue 4, 0\nDESFireReadRecords 5, 0, 0, "", True\n')
    calls, _ = component(script)
    record = spaced(b"record one!\0") + " "
    expected = [0x20, "WRITTEN BY LIBFREEFARE", spaced((32 + i) % 256 for i in range(80)),
                spaced(48 + i for i in range(80)), 140, (record * 2)[:-1], (record * 2)[:-1],
                "LEGACY MACED BY LIBFREEFARE", "LEGACY ENCIPHERED BY LIBFREEFARE", 35,
                spaced(b"LEGACY!\0")]
    got = [next(iter(c["outputs"].values())) for c in calls if c["outputs"]]
    return None if got == expected else f"the component read {got}\nexpected {expected}"


def inside():
    with tempfile.TemporaryDirectory(prefix="tarsin-e2e-ndef-") as folder:
        written, read = os.path.join(folder, "written.ndef"), os.path.join(folder, "read.ndef")
        Path(written).write_bytes(MESSAGE)
        arguments = {"mifare-desfire-write-ndef": ("-i", written),
                     "mifare-desfire-read-ndef": ("-o", read)}
        legacy = os.path.join(folder, "legacy.txt")
        Path(legacy).write_text(LEGACY_SCRIPT)
        for script in (os.path.join(EXAMPLES, "desfire-personalise-aes.txt"), legacy):
            if not component(script)[1]:
                return 1
        # The client reads the component's applications back and leaves its own for the
        # component to read; then the tools make the card an NDEF tag.
        for step in [lambda: failure([CLIENT, "read-component"]), lambda: failure([CLIENT]),
                     lambda: read_libfreefare_application(folder),
                     *(lambda name=name: failure([name, "-y", *arguments.get(name, ())])
                       for name in TOOLS)]:
            if failed := step():
                print(failed)
                return 1
        message = Path(read).read_bytes()
    if message != MESSAGE:
        print(f"read back {message.hex()}, wrote {MESSAGE.hex()}")
        return 1
    return 0


if __name__ == "__main__":
    if sys.argv[1:] != ["inside"]:
        missing = [name for name in TOOLS if not shutil.which(name)]
        if not os.path.exists(os.path.join(LIBNFC, "libnfc.so.6")):
            missing.append(os.path.join(LIBNFC, "libnfc.so.6") + " (scripts/build-libnfc-pcsc.sh)")
        if not os.path.exists(CLIENT):
            missing.append("the libfreefare client (libfreefare-dev)")
        if missing:
            print("skipped: missing " + ", ".join(missing))
            sys.exit(77)
    e2e_support.main([e2e_support.reader(READER, {"type": "mifare-desfire-ev1-4k",
                                                  "uid": "04112233445566"})], inside)
