# SPDX-License-Identifier: Apache-2.0
"""Eight virtual readers through one pcscd, each encoded by a thread of its own (the C++ test
program many_readers_test, named by TARSIN_RF_MANY_READERS_TEST, checks the outcome)."""
import os
import subprocess

import e2e_support

READERS = [e2e_support.reader("Tarsin Virtual Reader %d" % i,
                              {"type": "mifare-classic-1k", "uid": "04C0FFE%d" % i})
           for i in range(8)]


def inside():
    return subprocess.call([os.environ["TARSIN_RF_MANY_READERS_TEST"]], timeout=120)


if __name__ == "__main__":
    e2e_support.main(READERS, inside)
