#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Runs the benchmarks and prints one table (Markdown), the machine noted.

    bench/run-benchmarks.py [--build build/default] [--cli PATH] [--strace]

In-process rows use the virtual reader's provider behind the timing provider; the pcscd rows run
under tests/e2e/with-pcscd.sh with eight virtual readers (another pcscd must not be running).
`--cli` measures another tarsin-rf build the same way; `--before` adds an older tarsin-rf to the
same rounds through pcscd; `--strace` adds the system calls per frame.
"""
import argparse
import json
import os
import platform
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FRAME = 'EscapeExt "FF CA 00 00 00", "", ""'
# ISO 14443 at 106 kbit/s (fc/128): one bit lasts 128/13.56 MHz.
BIT_US = 128 / 13.56
# Each direction of a frame: its bytes plus the block's PCB and CRC (3 bytes), 9 bits a byte
# (8 and odd parity), and start and end of frame (2 bits). Frame delay and the card's
# processing time are left out, so the air time is a lower bound.
FRAME_OVERHEAD_BYTES = 3
# Frames that each operation's described command sequence sends. A selection sends the select,
# the authentication and the answer to the card's challenge; a DESFire file-data or value
# operation looks the file's settings up first; a MIFARE block operation loads the key and
# authenticates before its own command, every time. Writes are counted from their data
# (described_frames), and each further answer frame the card announces costs one "90AF000000".
DESCRIBED_FRAMES = dict(
    {name: 0 for name in ("OpenEncoder", "CloseEncoder")},
    **{name: 1 for name in ("DESFireCreateApplication", "DESFireChangeKey",
                            "DESFireCreateStdDataFile", "DESFireCreateBackupDataFile",
                            "DESFireCreateValueFile", "DESFireCreateLinearRecordFile",
                            "DESFireCreateCyclicRecordFile", "DESFireCommitTransaction",
                            "DESFireGetFileIDs", "DESFireGetApplications")},
    **{name: 2 for name in ("DESFireReadData", "DESFireReadRecords", "DESFireGetValue",
                            "DESFireCredit", "DESFireDebit")},
    **{name: 3 for name in ("DESFireSelectRoot", "DESFireSelectApplication",
                            "MifareWriteDataBloc", "MifareReadDataBloc", "MifareWriteValueBloc")})
# The bench's MIFARE encoding (pcscd_bench.cpp: Encode).
MIFARE_JOB = """OpenEncoder 0
MifareWriteDataBloc 4, "FFFFFFFFFFFF", 1, "00112233445566778899AABBCCDDEEFF"
MifareReadDataBloc 4, "FFFFFFFFFFFF", 1, ""
MifareWriteValueBloc 5, "FFFFFFFFFFFF", 1, 1000
CloseEncoder
"""


def air_time_us(payload_bytes):
    return ((payload_bytes + FRAME_OVERHEAD_BYTES) * 9 + 2) * BIT_US


def described_frames(script):
    """The frames the described command sequences send for `script`, answer frames aside."""
    total = 0
    for line in script.splitlines():
        name, _, rest = line.strip().partition(" ")
        if not name or name.startswith("'"):
            continue
        if name in ("DESFireWriteData", "DESFireWriteRecord"):
            _, _, length, data, is_hex = (a.strip() for a in rest.split(","))
            data = data.strip('"')
            size = int(length) or (len(data) // 2 if is_hex == "True" else len(data))
            # The settings look-up, then 7 header bytes and the data: 52 bytes in the first
            # frame, 59 in each further one.
            total += 2 + max(0, -(-(7 + size - 52) // 59))
        else:
            total += DESCRIBED_FRAMES[name]
    return total


def bench_json(program, args=(), env=None):
    out = subprocess.run([program, "--benchmark_format=json", "--benchmark_min_time=0.5", *args],
                         env=env, capture_output=True, text=True, check=True).stdout
    return {b["name"]: b for b in json.loads(out)["benchmarks"]}


def scratch_folder():
    """For the readers file: on tmpfs where there is one, since the simulator replaces the file
    at every change of a card and creating files is slow on some disks (ext4 without a journal
    checks its recently deleted inodes); the file is the reader's side, not what is measured."""
    return tempfile.mkdtemp(prefix="tarsin-bench-",
                            dir="/dev/shm" if os.path.isdir("/dev/shm") else None)


def readers_file(folder, count, card_type):
    path = os.path.join(folder, "readers.json")
    readers = [{"name": "Tarsin Virtual Reader %d" % i, "vendor": "Tarsin",
                "ifdType": "Bench reader", "ifdVersion": "1.0.0", "serial": "B-%d" % i,
                "card": {"type": card_type, "uid": "04A1B2%02X" % i if "classic" in card_type
                         else "045A318A2C3B%02X" % i}} for i in range(count)]
    with open(path, "w") as out:
        json.dump({"readers": readers}, out)
    return path


def home(cli):
    """A folder for the log and the registry, the registry holding the card-type table."""
    folder = tempfile.mkdtemp(prefix="tarsin-bench-home-")
    os.makedirs(os.path.join(folder, "Quillon/Nemora"))
    env = dict(os.environ, XDG_DATA_HOME=folder, TARSIN_RF_REGISTRY_DIR=folder)
    subprocess.run([cli, "reg", "import", os.path.join(ROOT, "examples/card-types.reg")],
                   env=env, check=True, capture_output=True)
    return folder


def run_cli(cli, script, reader, env, wrap=(), open_first=False):
    """Runs `script` with tarsin-rf run (after OpenEncoder 0 when `open_first`); answers
    (wall s, CPU s of the process)."""
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as out:
        out.write(script)
    start = time.perf_counter()
    process = subprocess.Popen([*wrap, cli, "run", *(["--open"] if open_first else []), "--params",
                                "device=%s;protocol=2;open_mode=2" % reader, out.name],
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    os.unlink(out.name)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError("tarsin-rf run failed: " + process.stderr.read().decode())
    return wall, usage.ru_utime + usage.ru_stime


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def encoding_rounds(program, rounds=3):
    """Encodings on 1, 2, 4 and 8 readers, each in a process of its own, in rounds, so that every
    count sees the same load; with the CPU per encoding of the benchmark (the component and
    pcsc-lite's client) and of pcscd (with the virtual readers' driver)."""
    pcscd = subprocess.check_output(["pidof", "pcscd"]).split()[0].decode()

    def pcscd_cpu():
        fields = open("/proc/%s/stat" % pcscd).read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    results = {threads: [] for threads in (1, 2, 4, 8)}
    for _ in range(rounds):
        for threads, runs in results.items():
            before, started = pcscd_cpu(), os.times()
            name = "Encodings/real_time/threads:%d" % threads
            run = bench_json(program, ["--benchmark_filter=^%s$" % name])[name]
            ended, count = os.times(), run["iterations"]
            ours = ended.children_user + ended.children_system - started.children_user - \
                started.children_system
            runs.append({"rate": run["items_per_second"], "client_us": ours / count * 1e6,
                         "pcscd_us": (pcscd_cpu() - before) / count * 1e6})
    return results


def machine():
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                  if line.startswith("model name")), platform.processor())
    return "%s, %d cores, %s %s, load %.1f at start" % (
        model, os.cpu_count(), platform.system(), platform.release(), os.getloadavg()[0])


def in_process(args, rows):
    programs = os.path.join(args.build, "bench")
    exchange = bench_json(os.path.join(programs, "exchange_bench"))
    with_log, without_log = exchange["Frame/WithLog"], exchange["Frame/WithoutLog"]
    line_us = exchange["LogLine/Appended"]["cpu_time"] / 1e3
    missing_us = exchange["LogLine/FolderMissing"]["cpu_time"] / 1e3
    lines = with_log["lines_per_frame"]
    rows.append(("Frame in process: component CPU, log written", "%.2f us" % with_log["component_us"],
                 "%.0f lines; the reader's own %.2f us left out" % (lines, with_log["reader_us"])))
    rows.append(("Frame in process: component CPU, no log folder", "%.2f us" % without_log["component_us"],
                 "log's share %.2f us" % (with_log["component_us"] - without_log["component_us"])))
    rows.append(("Log file work per line: open, write, close / failed open",
                 "%.2f / %.2f us" % (line_us, missing_us), "CPU"))
    rows.append(("Frame in process: component CPU excluding log I/O (goal < 10 us)",
                 "%.2f us" % (with_log["component_us"] - lines * line_us),
                 "without the folder: %.2f us" % (without_log["component_us"] - lines * missing_us)))

    des = bench_json(os.path.join(programs, "des_bench"))
    for kind, name in (("SingleDes", "DES"), ("TripleDes", "3DES")):
        ours = des["BlockCbc/Bytes1KiB%sCbc" % kind]["bytes_per_second"]
        theirs = des.get("OpenSslCbc/Bytes1KiB%sCbc" % kind, {}).get("bytes_per_second")
        hex_text = des["Cipher/Encrypt1KiB%sCbc" % kind]["bytes_per_second"]
        rows.append(("%s CBC throughput, ours / OpenSSL" % name,
                     "%.1f / %s MB/s" % (ours / 1e6, "%.1f" % (theirs / 1e6) if theirs else "n/a"),
                     "ratio %.2f; on hex text %.1f MB/s" % (ours / theirs if theirs else 0,
                                                            hex_text / 1e6)))

    # The personalisation on the in-process virtual DESFire card.
    folder = scratch_folder()
    try:
        readers = readers_file(folder, 1, "mifare-desfire-ev1-4k")
        data = home(args.cli)
        report = os.path.join(folder, "provider.json")
        env = dict(os.environ, TARSIN_RF_VIRTUAL_READERS=readers, XDG_DATA_HOME=data,
                   TARSIN_RF_REGISTRY_DIR=data, TARSIN_RF_PCSC_LIBRARY=args.provider,
                   TARSIN_BENCH_INNER_PCSC_LIBRARY=args.vpcsc, TARSIN_BENCH_PROVIDER_REPORT=report)
        _, idle_cpu = min(run_cli(args.cli, "' nothing\n", "Tarsin Virtual Reader 0", env)
                          for _ in range(3))
        script = open(os.path.join(ROOT, "examples/desfire-personalise.txt")).read()
        wall, cpu = run_cli(args.cli, script, "Tarsin Virtual Reader 0", env)
        provider = json.load(open(report))
        log = open(os.path.join(data, "Quillon/Nemora/Tarsin RF.log"), errors="replace").read()
        sent = [int(n) for n in re.findall(r"cbSendLength:=(\d+)", log)]
        received = [int(n) for n in re.findall(r"Received length \.\.\. (\d+)", log)]
        air = sum(air_time_us(n) for n in sent) + sum(air_time_us(n) for n in received)
        component = (cpu - idle_cpu) * 1e6 - provider["cpu_ns"] / 1000
        log_lines = len(log.splitlines())
        rows.append(("Personalisation: frames, bytes sent + received",
                     "%d, %d + %d" % (len(sent), sum(sent), sum(received)),
                     "wall %.1f ms in process" % (wall * 1e3)))
        more = log.count('pbSendBuffer:= "90AF000000"')
        lookups = log.count("EncoderCommand(DesfireGetFileSettings)")
        rows.append(("Frames per job / the described minimum: DESFire personalisation",
                     "%d / %d" % (len(sent), described_frames(script) + more),
                     "%d of them file-settings look-ups, which the card itself does not need"
                     % lookups))
        rows.append(("Personalisation: air time at 106 kbit/s (lower bound)", "%.1f ms" % (air / 1e3),
                     "at 848 kbit/s %.1f ms" % (air / 8e3)))
        rows.append(("Personalisation: component CPU (goal < 2% of air time)",
                     "%.2f ms" % (component / 1e3),
                     "%.2f%% of air time; the card's and the reader's own %.1f ms left out"
                     % (100 * component / air, provider["cpu_ns"] / 1e6)))
        rows.append(("Personalisation: component CPU excluding log I/O",
                     "%.2f ms" % ((component - log_lines * line_us) / 1e3),
                     "%.2f%% of air time; %d log lines" % (
                         100 * (component - log_lines * line_us) / air, log_lines)))
        shutil.rmtree(data, True)

        env["TARSIN_RF_VIRTUAL_READERS"] = readers_file(folder, 1, "mifare-classic-1k")
        data = home(args.cli)
        env.update(XDG_DATA_HOME=data, TARSIN_RF_REGISTRY_DIR=data)
        run_cli(args.cli, MIFARE_JOB, "Tarsin Virtual Reader 0", env)
        log = open(os.path.join(data, "Quillon/Nemora/Tarsin RF.log"), errors="replace").read()
        rows.append(("Frames per job / the described minimum: MIFARE encoding",
                     "%d / %d" % (log.count("cbSendLength:="), described_frames(MIFARE_JOB)),
                     "the card itself needs 5: one key load and one authentication serve "
                     "both blocks of the sector"))
        shutil.rmtree(data, True)
    finally:
        shutil.rmtree(folder, True)


def through_pcscd(args, rows):
    """Runs this script again inside a private pcscd serving eight virtual readers."""
    folder = scratch_folder()
    try:
        readers = readers_file(folder, 8, "mifare-classic-1k")
        result = os.path.join(folder, "rows.json")
        env = dict(os.environ, TARSIN_RF_VIRTUAL_READERS=readers, TARSIN_RF_IFD_DRIVER=args.ifd)
        status = subprocess.call([os.path.join(ROOT, "tests/e2e/with-pcscd.sh"), sys.executable,
                                  os.path.abspath(__file__), *sys.argv[1:], "--inside", result],
                                 env=env)
        if status != 0:
            rows.append(("Rows through pcscd", "not measured", "with-pcscd.sh status %d" % status))
            return
        rows.extend(tuple(row) for row in json.load(open(result)))
    finally:
        shutil.rmtree(folder, True)


def inside_pcscd(args):
    rows = []
    reader = "Tarsin Virtual Reader 0 00 00"
    program = os.path.join(args.build, "bench", "pcscd_bench")
    data = home(args.cli)
    env = dict(os.environ, XDG_DATA_HOME=data, TARSIN_RF_REGISTRY_DIR=data)
    env.pop("TARSIN_RF_PCSC_LIBRARY", None)
    count = 500
    many = "\n".join([FRAME] * count) + "\n"
    # Rounds of the bare loop, the component's frame in process and `tarsin-rf run` (many
    # EscapeExt lines against none), each in a process of its own, so that all three see the
    # same load; the median round by each ratio.
    rounds = []
    for _ in range(7):
        short = ["--benchmark_min_time=0.2"]
        bare = bench_json(program, ["--benchmark_filter=^BareTransmit", *short])
        frame = bench_json(program, ["--benchmark_filter=^EncoderFrame", *short])
        per_frame = []
        for cli in filter(None, (args.cli, args.before)):
            busy = run_cli(cli, many, reader, env, open_first=True)[0]
            idle = run_cli(cli, "' nothing\n", reader, env, open_first=True)[0]
            per_frame.append((busy - idle) / count * 1e6)
        rounds.append((bare["BareTransmit/real_time"]["real_time"],
                       frame["EncoderFrame/real_time"]["real_time"],
                       frame["EncoderFrame/real_time"]["component_us"], *per_frame))

    def median_round(ratio):
        return sorted(rounds, key=ratio)[len(rounds) // 2]

    def spread(ratio):
        return " ".join("%.2f" % r for r in sorted(map(ratio, rounds)))

    bare, frame, component, *_ = median_round(lambda r: r[1] / r[0])
    rows.append(("Frame through pcscd: bare SCardTransmit", "%.1f us" % bare,
                 "median round of 7, alternating with the next rows"))
    rows.append(("Frame through pcscd: Encoder.EscapeExt in process", "%.1f us" % frame,
                 "ratio %.2f (rounds %s); component CPU %.2f us"
                 % (frame / bare, spread(lambda r: r[1] / r[0]), component)))
    bare, _, _, run, *_ = median_round(lambda r: r[3] / r[0])
    rows.append(("Frame through pcscd: `tarsin-rf run` EscapeExt line (goal < 1.5x bare)",
                 "%.1f us" % run, "ratio %.2f, bare %.1f us beside it (rounds %s)"
                 % (run / bare, bare, spread(lambda r: r[3] / r[0]))))
    if args.before:
        bare, _, _, _, run = median_round(lambda r: r[4] / r[0])
        rows.append(("Frame through pcscd: `tarsin-rf run` EscapeExt line, the older build",
                     "%.1f us" % run, "ratio %.2f, bare %.1f us beside it (rounds %s)"
                     % (run / bare, bare, spread(lambda r: r[4] / r[0]))))
    encodings = encoding_rounds(program)
    if args.strace:
        for cli, name in filter(lambda c: c[0], ((args.cli, ""), (args.before, ", the older build"))):
            calls = []
            for script in (many, "' nothing\n"):
                out = os.path.join(data, "strace.txt")
                run_cli(cli, script, reader, env, wrap=("strace", "-f", "-c", "-o", out),
                        open_first=True)
                text = open(out).read()
                calls.append(int(re.findall(
                    r"^\s*[\d.]+\s+[\d.]+\s+\d+\s+(\d+)\s+(?:\d+\s+)?total$", text, re.M)[-1]))
            rows.append(("System calls per `tarsin-rf run` frame" + name,
                         "%.1f" % ((calls[0] - calls[1]) / count), "strace -f -c, %d frames" % count))
    shutil.rmtree(data, True)
    base = median(r["rate"] for r in encodings[1])
    for threads, runs in encodings.items():
        rate = median(r["rate"] for r in runs)
        rows.append(("MIFARE encodings per second, %d reader%s" % (threads, "s" if threads > 1 else ""),
                     "%.0f /s" % rate,
                     "x%.2f of one reader (rounds %s); CPU per encoding %.0f us ours + %.0f us pcscd's"
                     % (rate / base, " ".join("%.0f" % r["rate"] for r in runs),
                        median(r["client_us"] for r in runs), median(r["pcscd_us"] for r in runs))))
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build/default"))
    parser.add_argument("--cli", help="tarsin-rf to measure (default: the build's)")
    parser.add_argument("--vpcsc", help="the virtual reader's provider (default: the build's)")
    parser.add_argument("--ifd", help="the virtual reader's pcscd driver (default: the build's)")
    parser.add_argument("--before", help="an older tarsin-rf measured in the same rounds")
    parser.add_argument("--strace", action="store_true")
    parser.add_argument("--only", choices=["process", "pcscd"])
    parser.add_argument("--inside", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.cli = args.cli or os.path.join(args.build, "src/host/cli/tarsin-rf")
    args.vpcsc = args.vpcsc or os.path.join(args.build, "sim/provider/libtarsinrf-vpcsc.so")
    args.ifd = args.ifd or os.path.join(args.build, "sim/ifd/libifd-tarsin-virtual.so")
    args.provider = os.path.join(args.build, "bench/libtarsin-bench-provider.so")
    if args.inside:
        with open(args.inside, "w") as out:
            json.dump(inside_pcscd(args), out)
        return 0
    rows = []
    print("Machine: " + machine())
    if args.only != "pcscd":
        in_process(args, rows)
    if args.only != "process":
        through_pcscd(args, rows)
    width = max(len(row[0]) for row in rows)
    print("| %-*s | %s | %s |" % (width, "Measure", "Value", "Beside it"))
    print("|%s|---|---|" % ("-" * (width + 2)))
    for name, value, note in rows:
        print("| %-*s | %s | %s |" % (width, name, value, note))
    return 0


if __name__ == "__main__":
    sys.exit(main())
