"""libfreefare's C API, an independent DESFire EV1 client with its own crypto, personalises the
virtual card through libnfc's PC/SC driver and the real pcscd (libfreefare_ev1_test.c). Without
libfreefare-dev at build time or the PC/SC libnfc (scripts/build-libnfc-pcsc.sh) the test skips
(status 77)."""
import os
import subprocess

import e2e_support

READER = "Tarsin EV1"
CLIENT = os.environ.get("TARSIN_RF_LIBFREEFARE_EV1", "")


def inside():
    run = subprocess.run([CLIENT], env=e2e_support.libnfc_environment(READER),
                         stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    print(run.stdout + run.stderr)
    return run.returncode


if __name__ == "__main__":
    e2e_support.main_with_libnfc(
        READER, [] if os.path.exists(CLIENT) else ["the libfreefare client (libfreefare-dev)"],
        inside)
