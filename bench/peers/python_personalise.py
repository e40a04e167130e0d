#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The Python module's DESFire personalisation (examples/python/desfire_personalise.py, run as it
is, compiled once) on each reader given, one blank card each, in one process; with `--connect`
first, only an encoder opened and closed on each (its cost beside the card work).

    python_personalise.py [--connect] READER..."""
import contextlib
import io
import os
import sys

import tarsinrf

EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../examples/python",
                       "desfire_personalise.py")

# Compiled once, as a host program is, and run for each card with fresh globals (as
# runpy.run_path would, but without compiling the file again for every card).
with open(EXAMPLE, encoding="utf-8") as source:
    CODE = compile(source.read(), EXAMPLE, "exec")

connect_only = sys.argv[1:2] == ["--connect"]
for reader in sys.argv[1 + connect_only:]:
    if connect_only:
        encoder = tarsinrf.Encoder()
        encoder.Parameters = f"device={reader};protocol=2;open_mode=2"
        if encoder.OpenEncoder(0) != tarsinrf.scesuccess or encoder.CloseEncoder() != 0:
            sys.exit("cannot open " + reader)
    else:
        sys.argv = [EXAMPLE, reader]
        with contextlib.redirect_stdout(io.StringIO()):
            exec(CODE, {"__name__": "__main__", "__file__": EXAMPLE})
