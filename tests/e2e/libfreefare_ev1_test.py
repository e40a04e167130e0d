"""libfreefare's C API, an independent DESFire EV1 client with its own crypto, personalises the
virtual card through libnfc's PC/SC driver and the real pcscd (libfreefare_ev1_test.c). Without
libfreefare-dev at build time or the PC/SC libnfc (scripts/build-libnfc-pcsc.sh) the test skips
(status 77)."""
import os
import subprocess
import sys

import e2e_support

READER = "Tarsin EV1"
LIBNFC = os.environ.get("TARSIN_RF_LIBNFC_PCSC", "/opt/libnfc-pcsc/lib")
CLIENT = os.environ.get("TARSIN_RF_LIBFREEFARE_EV1", "")


def inside():
    libraries = LIBNFC + os.pathsep + os.environ.get("LD_LIBRARY_PATH", "")
    env = dict(os.environ, LD_LIBRARY_PATH=libraries, LIBNFC_AUTO_SCAN="false",
               LIBNFC_DEVICE="pcsc:" + e2e_support.pcscd_name(READER),
               LIBNFC_INTRUSIVE_SCAN="false")
    run = subprocess.run([CLIENT], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                         text=True, timeout=120)
    print(run.stdout + run.stderr)
    return run.returncode


if __name__ == "__main__":
    if sys.argv[1:] != ["inside"]:
        missing = [] if os.path.exists(CLIENT) else ["the libfreefare client (libfreefare-dev)"]
        if not os.path.exists(os.path.join(LIBNFC, "libnfc.so.6")):
            missing.append(os.path.join(LIBNFC, "libnfc.so.6") + " (scripts/build-libnfc-pcsc.sh)")
        if missing:
            print("skipped: missing " + ", ".join(missing))
            sys.exit(77)
    e2e_support.main([e2e_support.reader(READER, {"type": "mifare-desfire-ev1-4k",
                                                  "uid": "04112233445566"})], inside)
