# SPDX-License-Identifier: Apache-2.0
"""Runs every fenced sh/bash block of the given Markdown files, each in a fresh home on the
virtual reader, from the source root, with `set -e`. A fence "```sh no-run: REASON" skips its
block; a no-run without a reason fails. Each block is reported by file and line.
Usage: run_shell_blocks.py SOURCE_ROOT BUILD_DIR VPCSC_LIBRARY [FILE...]
(by default README.md and docs/*.md)."""
import glob
import itertools
import os
import signal
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

FENCE = re.compile(r"^```(sh|bash)(?:\s+(.*))?$")
NO_RUN = re.compile(r"^no-run\b:?\s*(.*)$")
TIMEOUT = 60  # seconds a block may take: blocks that build or install are no-run
# Found first on a block's PATH, so that an unmarked block that builds or installs stops at once
# instead of changing the machine or the build the test runs from.
REFUSED = "apt apt-get cmake ctest dpkg-buildpackage make ninja pip pip3 sudo".split()


def blocks(path):
    """(line of the fence, its info after the language, the block's text) for each shell block."""
    lines = enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1)
    for number, line in lines:
        if match := FENCE.match(line):  # the block runs to the next fence, which it consumes
            body = itertools.takewhile(lambda entry: not entry[1].startswith("```"), lines)
            yield number, (match.group(2) or "").strip(), "".join(text + "\n" for _, text in body)


def fresh_home(root, build, vpcsc):
    """A home of its own: log folder, registry with the card types, readers file, PATH."""
    home = tempfile.mkdtemp(prefix="tarsin-doc-block.")
    cli = os.path.join(build, "src", "host", "cli")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               TARSIN_RF_REGISTRY_DIR=os.path.join(home, "registry"),
               TARSIN_RF_VIRTUAL_READERS=os.path.join(home, "readers.json"),
               TARSIN_RF_PCSC_LIBRARY=vpcsc, QT_QPA_PLATFORM="offscreen",
               PATH=cli + os.pathsep + os.environ.get("PATH", ""))
    refused = os.path.join(home, "refused")
    for folder in ("data/Quillon/Nemora", "registry", "refused"):
        os.makedirs(os.path.join(home, folder))
    for name in REFUSED:
        Path(refused, name).write_text(f"#!/bin/sh\necho '{name}: a docs block neither builds nor"
                                       " installs; mark it \"no-run: REASON\"' >&2\nexit 97\n",
                                       encoding="utf-8")
        os.chmod(os.path.join(refused, name), 0o755)
    for command in (["reg", "import", "examples/card-types.reg"], ["virtual", "init"]):
        subprocess.run(["tarsin-rf"] + command, cwd=root, env=env, check=True,
                       stdout=subprocess.DEVNULL)
    env["PATH"] = refused + os.pathsep + env["PATH"]
    return home, env


def run_block(text, root, env):
    """The block's exit status (or why it was stopped) and its output."""
    # A session of its own, so that a block stopped for its time takes its children along.
    block = subprocess.Popen(["bash", "-e", "-c", text], cwd=root, env=env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        output, _ = block.communicate(timeout=TIMEOUT)
        return block.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(block.pid, signal.SIGKILL)
        output, _ = block.communicate()
        return f"stopped after {TIMEOUT} s", output


def main():
    root, build, vpcsc, files = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    files = files or [os.path.join(root, "README.md")] + sorted(
        glob.glob(os.path.join(root, "docs", "*.md")))
    # The docs name the default build folder; another build stands in for it.
    default_build = os.path.join(root, "build", "default")
    ran = skipped = failed = 0
    for path in files:
        shown = os.path.relpath(path, root)
        for line, info, text in blocks(path):
            where = f"{shown}:{line}"
            if no_run := NO_RUN.match(info):
                if no_run.group(1):
                    skipped += 1
                    print(f"skip {where}: {no_run.group(1)}")
                else:
                    failed += 1
                    print(f"FAIL {where}: no-run needs a reason (```sh no-run: REASON)")
                continue
            if os.path.realpath(build) != os.path.realpath(default_build):
                for named in ("$PWD/build/default/", "build/default/"):
                    text = text.replace(named, build.rstrip("/") + "/")
            home, env = fresh_home(root, build, vpcsc)
            status, output = run_block(text, root, env)
            shutil.rmtree(home, ignore_errors=True)
            if status == 0:
                ran += 1
                print(f"ok   {where}")
            else:
                failed += 1
                print(f"FAIL {where} (exit {status}):\n" + "".join(
                    "    " + out + "\n" for out in output.splitlines()[-20:]))
    print(f"{ran} blocks ran, {skipped} marked no-run, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
