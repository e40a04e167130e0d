# SPDX-License-Identifier: Apache-2.0
"""tarsin-rf's commands and the examples on the virtual readers, as a person or a script runs
them: the examples green, `show` after each. (The other commands: CliRun in cli_test.cpp.)"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

CLI = os.environ["TARSIN_TEST_CLI"]
EXAMPLES = os.environ["TARSIN_TEST_EXAMPLES"]
MIFARE = "device=Tarsin Virtual Reader 0;protocol=2;open_mode=2"
DESFIRE = "device=Tarsin Virtual Reader 1;protocol=2;open_mode=2"


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, errors="replace", timeout=120)


def tarsin_rf(*args):
    return run(CLI, *args)


class Commands(unittest.TestCase):
    def setUp(self):
        home = tempfile.mkdtemp()
        os.makedirs(os.path.join(home, "Quillon/Nemora"))
        os.environ.update(XDG_DATA_HOME=home, TARSIN_RF_REGISTRY_DIR=home + "/registry",
                          TARSIN_RF_VIRTUAL_READERS=home + "/readers.json")
        self.assertEqual(tarsin_rf("reg", "import", EXAMPLES + "/card-types.reg").returncode, 0)
        self.assertEqual(tarsin_rf("virtual", "init").returncode, 0)

    def run_example(self, params, script):
        run = tarsin_rf("run", "--virtual", "--json", "--params", params, script)
        failed = [c for c in map(json.loads, run.stdout.splitlines()) if c["result"] not in
                  (None, "scesuccess")]
        self.assertEqual((run.returncode, failed), (0, []), run.stderr)

    def show(self, *args):
        run = tarsin_rf("show", "--virtual", "--json", *args)
        self.assertEqual(run.returncode, 0, run.stderr)
        return json.loads(run.stdout)

    def test_mifare_example_then_show(self):
        self.run_example(MIFARE, EXAMPLES + "/mifare-encode.txt")
        card = self.show("-p", MIFARE, "-k", "A0A1A2A3A4A5")
        self.assertEqual((card["card_type"], len(card["sectors"])), ("MIFARE Classic 1K", 16))
        sector = card["sectors"][1]
        self.assertEqual((sector["key"], sector["key_type"], sector["access_bits"]),
                         ("A0A1A2A3A4A5", "A", "58778A69"))
        blocks = {b["block"]: b for b in sector["blocks"]}
        self.assertEqual(bytes.fromhex(blocks[4]["data"]), b"TARSIN RF HOLDER")
        self.assertEqual((blocks[5]["kind"], blocks[5]["value"]), ("value", 1500))
        self.assertEqual(blocks[7]["rights"], "key A nothing, key B writes keys and conditions")
        self.assertEqual(card["sectors"][0]["blocks"][0]["kind"], "manufacturer")
        # Without the new key the sector stays closed; the others open with the transport key.
        self.assertIn("error", self.show("-p", MIFARE)["sectors"][1])

    def test_desfire_example_then_show_and_the_python_job(self):
        self.run_example(DESFIRE, EXAMPLES + "/desfire-personalise.txt")
        card = self.show("-p", DESFIRE, "--app-key", "A1A2A3=0123456789ABCDEF",
                         "--app-key", "B1B2B3=FEDCBA9876543210")
        self.assertEqual((card["uid"], card["storage"]), ("045A318A2C3B80", 4096))
        a, b = card["applications"]
        files = {f["file"]: f for f in a["files"]}
        self.assertEqual((a["id"], a["keys"], sorted(files)), ("A1A2A3", 3, [1, 2, 3, 4, 5]))
        self.assertEqual((files[1]["kind"], files[1]["size"], files[1]["rights"]["read"]),
                         ("standard data", 32, "key 1"))
        self.assertEqual((files[3]["value"], files[3]["upper_limit"], files[3]["limited_credit"]),
                         (250, 1000, True))
        self.assertEqual((files[4]["records"], files[4]["max_records"], files[5]["kind"]),
                         (1, 5, "cyclic records"))
        self.assertEqual((b["files"][0]["value"], b["files"][0]["lower_limit"]), (450, -500))
        # Without its key an application is listed but not entered.
        self.assertIn("not entered", self.show("-p", DESFIRE)["applications"][0]["error"])
        # The same job from Python, on a blank card again.
        self.assertEqual(tarsin_rf("virtual", "reset", "-r", "Tarsin Virtual Reader 1").returncode, 0)
        job = run(sys.executable, EXAMPLES + "/python/desfire_personalise.py")
        self.assertIn("value 250, record 20 26 12 07 00 00 00 01, purse 450, applications "
                      "A1A2A3,B1B2B3", job.stdout, job.stderr)

    def test_desfire_aes_example_then_show(self):
        self.run_example(DESFIRE, EXAMPLES + "/desfire-personalise-aes.txt")
        app, = self.show("-p", DESFIRE, "--app-key",
                         "C1C2C3=AES:00112233445566778899AABBCCDDEEFF")["applications"]
        self.assertEqual((app["id"], app["keys"], app["key_type"], app["files"][0]["size"]),
                         ("C1C2C3", 2, "AES", 32))
        # The enciphered file decoded with the key.
        self.assertEqual((app["files"][2]["communication"], bytes.fromhex(app["files"][2]["data"])),
                         ("enciphered", b"ENCIPHERED BY TARSIN RF".ljust(32, b"\0")))

    def test_desfire_diversified_key_example(self):
        job = run(sys.executable, EXAMPLES + "/python/desfire_diversify.py")
        # AN10922 from UID 045A318A2C3B80, application D1D2D3 and "Tarsin RF", by OpenSSL's CMAC.
        # The card's key authenticated the job's last steps.
        self.assertIn("card key AES:C8ACF700988FDB2B1F0F7AE9EDC8C519/01 (version 1), holder "
                      "'DIVERSIFIED BY TARSIN RF'", job.stdout, job.stderr)

    @unittest.skipUnless(shutil.which("logrotate"), "logrotate is not installed")
    def test_the_example_log_rotation_renames_the_log(self):
        home = os.environ["XDG_DATA_HOME"]
        log = os.path.join(home, "Quillon/Nemora/Tarsin RF.log")
        rule = Path(EXAMPLES, "logrotate/tarsin-rf").read_text()
        Path(home, "logrotate.conf").write_text(rule.replace("/home/*/.local/share", home))
        read = ("call", "--virtual", "--params", MIFARE, "--open", "ReadSerialNumber", '""')
        tarsin_rf(*read)
        before = Path(log).read_text()
        rotate = run("logrotate", "-f", "-s", home + "/logrotate.state", home + "/logrotate.conf")
        self.assertEqual(rotate.returncode, 0, rotate.stderr)
        self.assertEqual(Path(log + ".1").read_text(), before)
        # The next line starts a new log of the owner's only.
        tarsin_rf(*read)
        self.assertEqual(os.stat(log).st_mode & 0o777, 0o600)
        self.assertIn("FFCA000000", Path(log).read_text())


class Documentation(unittest.TestCase):
    """The options each subcommand's --help lists are the ones its man page synopsis and its
    row in docs/cli.md give (reg keeps reg.exe's forms and is left out)."""
    OPTION = re.compile(r"(?<![\w-])-{1,2}[a-z][a-z-]*")

    def help_options(self, *words):
        head, _, subcommands = tarsin_rf(*words, "--help").stdout.partition("Subcommands:")
        if children := re.findall(r"^  (\w+)\s", subcommands, re.M):
            return set().union(*(self.help_options(*words, child) for child in children))
        options = head.split("Options:")[1]
        found = {o for line in re.findall(r"^\s+(-\S+)", options, re.M) for o in line.split(",")}
        return found - {"-h", "--help"}

    def test_help_man_page_and_readme_agree(self):
        root = os.path.dirname(EXAMPLES)
        man = Path(root, "src/host/cli/tarsin-rf.1").read_text().replace("\\-", "-")
        synopsis = man.split(".SH SYNOPSIS")[1].split(".SH DESCRIPTION")[0].split(".br")
        readme = Path(root, "docs", "cli.md").read_text()
        top = tarsin_rf("--help").stdout.split("Subcommands:")[1]
        subcommands = [s for s in re.findall(r"^  (\w+)\s", top, re.M) if s != "reg"]
        self.assertIn("show", subcommands)
        for sub in subcommands:
            man_entry = [c for c in synopsis if c.strip().startswith(".B tarsin-rf " + sub)]
            row = re.search(r"^\| `%s([^`]*)`" % sub, readme, re.M)
            self.assertTrue(man_entry and row, sub)
            expected = self.help_options(sub)
            self.assertEqual(set(self.OPTION.findall(man_entry[0])), expected, "man: " + sub)
            self.assertEqual(set(self.OPTION.findall(row.group(1))), expected, "docs/cli.md: " + sub)


if __name__ == "__main__":
    unittest.main()
