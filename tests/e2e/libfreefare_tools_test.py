"""libfreefare's tools, an independent DESFire client, through libnfc's PC/SC driver and the real
pcscd: the card formatted, made an NFC Forum type 4 tag (the EV1 application with ISO file ids
and a DF name, a 4096-byte NDEF file beside its header file), an NDEF message written and read
back across several frames, then the default key of new applications set and reset.
Debian's libnfc has no PC/SC driver: scripts/build-libnfc-pcsc.sh builds one, which goes first
in LD_LIBRARY_PATH. Without it or the tools the test skips (status 77)."""
import os
import shutil
import subprocess
import tempfile

import e2e_support

READER = "Tarsin DESFire"
TEXT = b"Tarsin RF virtual DESFire, read back through libfreefare. " * 3
# One well-known text record ("en"), long enough to cross several frames.
MESSAGE = bytes([0xD1, 0x01, 3 + len(TEXT), 0x54, 0x02]) + b"en" + TEXT


def tool(name, *args):
    """Runs one tool on the virtual reader only (a scan would find it twice); its output when
    it fails."""
    env = e2e_support.libnfc_environment(READER)
    run = subprocess.run([name, "-y", *args], env=env, stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, timeout=60)
    # A tool that finds no DESFire card exits 0 without a word about it.
    if run.returncode != 0 or "Found Mifare DESFire" not in run.stdout:
        return f"{name} exited {run.returncode}:\n{run.stdout}{run.stderr}"
    return None


TOOLS = ("mifare-desfire-format", "mifare-desfire-create-ndef", "mifare-desfire-write-ndef",
         "mifare-desfire-read-ndef", "mifare-desfire-ev1-configure-default-key")


def inside():
    with tempfile.TemporaryDirectory(prefix="tarsin-e2e-ndef-") as folder:
        written, read = os.path.join(folder, "written.ndef"), os.path.join(folder, "read.ndef")
        with open(written, "wb") as out:
            out.write(MESSAGE)
        arguments = {"mifare-desfire-write-ndef": ("-i", written),
                     "mifare-desfire-read-ndef": ("-o", read)}
        for name in TOOLS:
            failure = tool(name, *arguments.get(name, ()))
            if failure:
                print(failure)
                return 1
        with open(read, "rb") as back:
            message = back.read()
    if message != MESSAGE:
        print(f"read back {message.hex()}, wrote {MESSAGE.hex()}")
        return 1
    return 0


if __name__ == "__main__":
    e2e_support.main_with_libnfc(READER, [name for name in TOOLS if not shutil.which(name)],
                                 inside)
