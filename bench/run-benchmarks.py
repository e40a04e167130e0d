#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Measures the component beside its yardsticks and peers in paired rounds and prints Markdown.

    flock /tmp/tarsin-e2e.lock bench/run-benchmarks.py [--rounds 7] [--quick] [--build DIR]

Every measurement runs beside its yardstick in the same round, in a process of its own, the order
turning from round to round, so that all see the same load; the table gives every round and each
ratio's median with its spread (min..max). A goal is "met" only when the median meets it.
A process's own start, connection and end are taken out: each figure is the process with the work
less the same process connecting and disconnecting without it, in the same round. CPU is the
client process's (user + system).
The rows through pcscd run inside tests/e2e/with-pcscd.sh (no other pcscd may run; take the lock).
`--quick` checks that every part runs (two rounds, few frames): its figures judge nothing.
"""
import argparse
import datetime
import glob
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(ROOT, "tests/e2e"))
import readers_file as readers_file_lib  # noqa: E402  (the readers file, written under its lock)
PYTHON = "/usr/bin/python3"
FRAME = 'EscapeExt "FF CA 00 00 00", "", ""'
CLASSIC_READERS = 8
# Cards personalised per process, one reader each, so that a process's start weighs little.
DESFIRE_READERS = ["Tarsin Virtual Reader %d" % (CLASSIC_READERS + i) for i in range(6)]
PERSONALISE = os.path.join(ROOT, "examples/desfire-personalise.txt")
LIBNFC = os.environ.get("TARSIN_RF_LIBNFC_PCSC", "/opt/libnfc-pcsc/lib")


def pcscd_name(reader):
    return reader + " 00 00"


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def spread(values, form="%.2f"):
    return (form + ".." + form) % (min(values), max(values))


def machine():
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                  if line.startswith("model name")), platform.processor())
    return "%s, %d cores, Linux %s, load %.1f at start" % (
        model, os.cpu_count(), platform.release(), os.getloadavg()[0])


def timed(command, env=None, expect=0):
    """(wall s, CPU s) of one process; it must exit with `expect`."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = process.stdout.read()
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != expect:
        raise RuntimeError("%s exited %d:\n%s" % (" ".join(command), os.waitstatus_to_exitcode(
            status), output.decode(errors="replace")[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime


def work(busy, idle, env=None, per=1):
    """(wall, CPU) in microseconds per unit of the work: `busy` less `idle`, the same process
    connecting and disconnecting without the work (so its start, its connection and the described
    250 ms wait before connecting are taken out)."""
    idle_wall, idle_cpu = timed(idle, env)
    wall, cpu = timed(busy, env)
    return ((wall - idle_wall) / per * 1e6, (cpu - idle_cpu) / per * 1e6)


def write_script(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w") as out:
        out.write(text)
    return path


def readers_file(path):
    """Eight blank MIFARE Classic 1K cards and six blank DESFire EV1, written whole again (the
    driver reads the file anew when it changed): every card starts blank."""
    readers = [{"name": "Tarsin Virtual Reader %d" % i, "vendor": "Tarsin",
                "ifdType": "Bench reader", "ifdVersion": "1.0.0", "serial": "B-%d" % i,
                "card": {"type": "mifare-classic-1k", "uid": "04A1B2%02X" % i}}
               for i in range(CLASSIC_READERS)]
    readers += [{"name": name, "vendor": "Tarsin", "ifdType": "Bench reader",
                 "ifdVersion": "1.0.0", "serial": "B-D%d" % i,
                 "card": {"type": "mifare-desfire-ev1-4k", "uid": "045A318A2C3B%02X" % i}}
                for i, name in enumerate(DESFIRE_READERS)]
    readers_file_lib.write(path, {"readers": readers})


class Homes:
    """The registry with the card-type table, and two application-data folders: one holding the
    log's folder, one without it (the component then writes no log; each line still tries its
    open)."""

    def __init__(self, cli, folder):
        self.registry = os.path.join(folder, "registry")
        self.logged = os.path.join(folder, "logged")
        self.unlogged = os.path.join(folder, "unlogged")
        os.makedirs(self.registry)
        os.makedirs(os.path.join(self.logged, "Quillon/Nemora"))
        os.makedirs(self.unlogged)
        subprocess.run([cli, "reg", "import", os.path.join(ROOT, "examples/card-types.reg")],
                       env=self.env(True), check=True, capture_output=True)

    def env(self, logged):
        return dict(os.environ, TARSIN_RF_REGISTRY_DIR=self.registry,
                    XDG_DATA_HOME=self.logged if logged else self.unlogged)

    def log(self):
        path = os.path.join(self.logged, "Quillon/Nemora/Tarsin RF.log")
        return open(path, errors="replace").read() if os.path.exists(path) else ""


# In process: the component's own CPU per frame.

def in_process(args):
    """Rounds of exchange_bench: a frame with the log and without its folder, and one log line's
    file work (open, write, close; the failed open)."""
    program = os.path.join(args.build, "bench/exchange_bench")
    rounds = []
    for _ in range(args.rounds):
        out = subprocess.run([program, "--benchmark_format=json", "--benchmark_filter=^(Frame|LogLine)/",
                              "--benchmark_min_time=%s" % ("0.01" if args.quick else "0.2")],
                             capture_output=True, text=True, check=True).stdout
        runs = {b["name"]: b for b in json.loads(out)["benchmarks"]}
        lines = runs["Frame/WithLog"]["lines_per_frame"]
        unlogged = runs["Frame/WithoutLog"]["component_us"]
        missing = runs["LogLine/FolderMissing"]["cpu_time"] / 1e3
        appended = runs["LogLine/Appended"]["cpu_time"] / 1e3
        rounds.append({"logged": runs["Frame/WithLog"]["component_us"], "unlogged": unlogged,
                       "lines": lines, "appended": appended, "missing": missing,
                       "own": unlogged - lines * missing})
    return rounds


# Through pcscd: run again inside with-pcscd.sh, the results handed back as JSON.

def through_pcscd(args, folder):
    readers = os.path.join(folder, "readers.json")
    readers_file(readers)
    result = os.path.join(folder, "pcscd.json")
    env = dict(os.environ, TARSIN_RF_VIRTUAL_READERS=readers, TARSIN_RF_IFD_DRIVER=args.ifd)
    status = subprocess.call([os.path.join(ROOT, "tests/e2e/with-pcscd.sh"), sys.executable,
                              os.path.abspath(__file__), *sys.argv[1:], "--inside", result],
                             env=env)
    if status != 0:
        print("the rows through pcscd were not measured: with-pcscd.sh exited %d" % status,
              file=sys.stderr)
        # 77: another pcscd runs (a skip for CTest).
        raise SystemExit(77 if status == 77 else 1)
    return json.load(open(result))


def frame_rounds(args, homes, folder):
    """A frame (FF CA 00 00 00) through pcscd: the bare SCardTransmit loop, `tarsin-rf run` with
    the log and without its folder, and pyscard sending the same frames."""
    # Enough frames that the two processes' own start and wait, subtracted, weigh little.
    count = 20 if args.quick else 3000
    reader = pcscd_name("Tarsin Virtual Reader 0")
    params = ["--params", "device=%s;protocol=2;open_mode=2" % reader]
    busy = write_script(folder, "frames.txt", "OpenEncoder 0\n" + (FRAME + "\n") * count +
                        "CloseEncoder\n")
    idle = write_script(folder, "frames0.txt", "OpenEncoder 0\nCloseEncoder\n")
    apdus = write_script(folder, "frames.hex", "FFCA000000\n" * count)
    no_apdus = write_script(folder, "frames0.hex", "")
    bare = os.path.join(args.build, "bench/bare_transmit")
    replay = os.path.join(HERE, "peers/pyscard_replay.py")
    parts = {
        "bare": lambda: work([bare, reader, str(count)], [bare, reader, "0"], per=count),
        "logged": lambda: work([args.cli, "run", *params, busy], [args.cli, "run", *params, idle],
                               homes.env(True), per=count),
        "unlogged": lambda: work([args.cli, "run", *params, busy],
                                 [args.cli, "run", *params, idle], homes.env(False), per=count),
        "pyscard": lambda: work([PYTHON, replay, apdus, reader], [PYTHON, replay, no_apdus, reader],
                                per=count),
    }
    return paired(args, parts)


def card_rounds(args, homes, folder, readers):
    """The DESFire personalisation of examples/desfire-personalise.txt on blank cards, six in a
    process: the component (`tarsin-rf run`) with the log and without its folder, the Python
    module, libfreefare's C API, and pyscard sending the frames the component sent."""
    names = [pcscd_name(reader) for reader in DESFIRE_READERS]
    body = "".join(line for line in open(PERSONALISE) if not line.startswith("'"))
    cards = write_script(folder, "cards.txt", "".join(
        'Parameters = "device=%s;protocol=2;open_mode=2"\n%s' % (name, body) for name in names))
    opened = write_script(folder, "opened.txt", "".join(
        'Parameters = "device=%s;protocol=2;open_mode=2"\nOpenEncoder 0\nCloseEncoder\n' % name
        for name in names))
    frames, no_frames = os.path.join(folder, "card.hex"), write_script(folder, "card0.hex", "")
    # The frames the component sends, from its log (the card's challenges differ from run to run,
    # so pyscard's replay is answered with errors from the first authentication on: it measures
    # what sending the same frames costs, not a personalisation).
    readers_file(readers)
    before = len(homes.log())
    timed([args.cli, "run", "--params", "device=%s;protocol=2;open_mode=2" % names[0],
           PERSONALISE], homes.env(True))
    sent = re.findall(r'pbSendBuffer:= "([0-9A-F]+)"', homes.log()[before:])
    log_lines = homes.log()[before:].count("\n")
    write_script(folder, "card.hex", "\n".join(sent) + "\n")
    python_env = dict(homes.env(True), PYTHONPATH=os.path.join(args.build, "src/host/python"))
    libnfc_env = dict(os.environ, LD_LIBRARY_PATH=LIBNFC + os.pathsep +
                      os.environ.get("LD_LIBRARY_PATH", ""), LIBNFC_AUTO_SCAN="false",
                      LIBNFC_INTRUSIVE_SCAN="false")
    libfreefare = os.path.join(args.build, "bench/libfreefare_personalise")
    devices = ["pcsc:" + name for name in names]
    replay = os.path.join(HERE, "peers/pyscard_replay.py")
    personalise_py = os.path.join(HERE, "peers/python_personalise.py")

    def blank(busy, idle, env=None):
        def run():
            readers_file(readers)
            return work(busy, idle, env, per=len(names))
        return run

    parts = {
        "logged": blank([args.cli, "run", cards], [args.cli, "run", opened], homes.env(True)),
        "unlogged": blank([args.cli, "run", cards], [args.cli, "run", opened], homes.env(False)),
        "pyscard": blank([PYTHON, replay, frames, *names], [PYTHON, replay, no_frames, *names]),
    }
    if glob.glob(os.path.join(args.build, "src/host/python/tarsinrf*.so")):
        parts["python"] = blank([PYTHON, personalise_py, *names],
                                [PYTHON, personalise_py, "--connect", *names], python_env)
    if os.path.exists(libfreefare) and os.path.exists(os.path.join(LIBNFC, "libnfc.so.6")):
        parts["libfreefare"] = blank([libfreefare, *devices], [libfreefare, "connect", *devices],
                                     libnfc_env)
    rounds = paired(args, parts)
    # Counts that do not vary with the machine's load, for one card less an open and close.
    first = 'Parameters = "device=%s;protocol=2;open_mode=2"\n' % names[0]
    one = write_script(folder, "card.txt", first + body)
    open_close = write_script(folder, "open.txt", first + "OpenEncoder 0\nCloseEncoder\n")
    counted = {
        "logged": ([args.cli, "run", one], [args.cli, "run", open_close], homes.env(True)),
        "unlogged": ([args.cli, "run", one], [args.cli, "run", open_close], homes.env(False)),
        "pyscard": ([PYTHON, replay, frames, names[0]], [PYTHON, replay, no_frames, names[0]],
                    None),
    }
    # Not libfreefare: under valgrind, libnfc's PC/SC driver finds no card.
    counts = {"instructions": {}, "calls": {}}
    for kind, tool, counter in (("instructions", "valgrind", instructions),
                                ("calls", "strace", system_calls)):
        if not shutil.which(tool) or args.quick:
            continue
        for name, (busy, idle, env) in counted.items():
            readers_file(readers)
            with_card = counter(busy, env)
            readers_file(readers)
            without = counter(idle, env)
            counts[kind][name] = (with_card - without if kind == "instructions" else
                                  {c: with_card[c] - without[c] for c in with_card | without})
    return {"rounds": rounds, "frames": len(sent), "log_lines": log_lines, "cards": len(names),
            **counts}


def instructions(command, env):
    """The instructions `command` runs in user space (callgrind): the same on a busy machine."""
    run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                          *command], env=env, capture_output=True, text=True, check=True)
    return int(re.findall(r"Collected : (\d+)", run.stderr)[-1])


def system_calls(command, env):
    """The system calls `command` makes (strace), by name."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".strace") as out:
        subprocess.run(["strace", "-f", "-qq", "-c", "-o", out.name, *command], env=env,
                       capture_output=True, check=True)
        calls = Counter()
        for line in out.read().splitlines():
            words = line.split()
            # % time, seconds, usecs/call, calls, [errors,] syscall; then their total
            if len(words) in (5, 6) and words[3].isdigit() and words[-1] != "total":
                calls[words[-1]] += int(words[3])
        return calls


def paired(args, parts):
    """Every part once a round, the order turned by one each round."""
    names = list(parts)
    rounds = []
    for index in range(args.rounds):
        order = names[index % len(names):] + names[:index % len(names)]
        rounds.append({name: parts[name]() for name in order})
    return rounds


def encoding_rounds(args):
    """MIFARE encodings (pcscd_bench) on 1, 2, 4 and 8 readers, each count in a process of its
    own, all counts in every round."""
    program = os.path.join(args.build, "bench/pcscd_bench")
    rounds = []
    for _ in range(args.rounds):
        rates = {}
        for threads in (1, 2, 4, 8):
            name = "Encodings/real_time/threads:%d" % threads
            out = subprocess.run([program, "--benchmark_format=json",
                                  "--benchmark_filter=^%s$" % name, "--benchmark_min_time=%s" % (
                                      "0.01" if args.quick else "0.5")],
                                 capture_output=True, text=True, check=True).stdout
            rates[threads] = json.loads(out)["benchmarks"][0]["items_per_second"]
        rounds.append(rates)
    return rounds


def inside_pcscd(args):
    folder = tempfile.mkdtemp(prefix="tarsin-bench-")
    try:
        homes = Homes(args.cli, folder)
        return {"frame": frame_rounds(args, homes, folder),
                "card": card_rounds(args, homes, folder, os.environ["TARSIN_RF_VIRTUAL_READERS"]),
                "encodings": encoding_rounds(args)}
    finally:
        shutil.rmtree(folder, True)


# Printing: every round, then the medians, then the goals.

def table(header, rows):
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")
    print()


class Goals:
    def __init__(self, quick):
        self.quick, self.rows = quick, []

    def add(self, goal, ratios, limit, unit, why, below=True):
        value = median(ratios)
        met = value <= limit if below else value > limit
        verdict = "not judged (--quick)" if self.quick else "met" if met else "not met: " + why
        self.rows.append((goal, (unit % value), spread(ratios, unit), verdict))


def report(args, process, pcscd):
    goals = Goals(args.quick)
    print("### The component's own CPU per frame, in process (exchange_bench, %d rounds)\n"
          % len(process))
    table(["Round", "with the log", "without the log folder", "log lines", "a line's open, "
           "write, close", "a failed open", "own, without the folder, less the failed opens"],
          [(str(i + 1), "%.2f us" % r["logged"], "%.2f us" % r["unlogged"], "%.0f" % r["lines"],
            "%.2f us" % r["appended"], "%.2f us" % r["missing"], "%.2f us" % r["own"])
           for i, r in enumerate(process)])
    own = [r["own"] for r in process]
    lines = median(r["lines"] for r in process)
    floor = [r["lines"] * r["appended"] for r in process]
    goals.add("Own CPU per frame without the log folder, less its %.0f failed opens (< 10 us)"
              % lines, own, 10, "%.2f us", "the frame's own work is above 10 us")

    frame = pcscd["frame"]
    print("### A frame through pcscd (FF CA 00 00 00), %d rounds\n" % len(frame))
    table(["Round", "bare SCardTransmit", "`tarsin-rf run`, log", "ratio", "no log folder",
           "ratio", "pyscard", "ratio"],
          [(str(i + 1), "%.1f us" % r["bare"][0], "%.1f us" % r["logged"][0],
            "%.2f" % (r["logged"][0] / r["bare"][0]), "%.1f us" % r["unlogged"][0],
            "%.2f" % (r["unlogged"][0] / r["bare"][0]), "%.1f us" % r["pyscard"][0],
            "%.2f" % (r["pyscard"][0] / r["bare"][0])) for i, r in enumerate(frame)])
    rows = []
    for name, label in (("bare", "bare SCardTransmit"), ("logged", "`tarsin-rf run`, the log"),
                        ("unlogged", "`tarsin-rf run`, no log folder"), ("pyscard", "pyscard")):
        walls = [r[name][0] / r["bare"][0] for r in frame]
        cpus = [r[name][1] for r in frame]
        rows.append((label, "%.2f (%s)" % (median(walls), spread(walls)),
                     "%.1f us (%s)" % (median(cpus), spread(cpus, "%.1f"))))
    table(["Per frame", "wall, ratio to bare: median (min..max)", "client CPU: median (min..max)"],
          rows)

    card = pcscd["card"]
    rounds = card["rounds"]
    names = [("logged", "`tarsin-rf run`, the log"), ("unlogged", "`tarsin-rf run`, no log folder"),
             ("python", "Python module, the log"), ("libfreefare", "libfreefare"),
             ("pyscard", "pyscard, the same frames")]
    names = [(n, label) for n, label in names if n in rounds[0]]
    print("### A DESFire personalisation through pcscd (%d frames, %d log lines), %d rounds of "
          "%d cards\n" % (card["frames"], card["log_lines"], len(rounds), card["cards"]))
    print("CPU per card (the client process, less the same process connecting and disconnecting "
          "only), and wall:\n")
    table(["Round", *(label for _, label in names)],
          [(str(i + 1), *("%.2f ms (wall %.1f)" % (r[n][1] / 1e3, r[n][0] / 1e3)
                          for n, _ in names)) for i, r in enumerate(rounds)])
    labels = {"logged": "`tarsin-rf run` with the log", "unlogged": "without its folder",
              "pyscard": "pyscard's replay"}
    if card["instructions"]:
        print("Instructions per card (callgrind, user space, the client process, one card less an "
              "open and close): %s.\n" % ", ".join(
                  "%s %.2f M" % (labels[n], v / 1e6) for n, v in card["instructions"].items()))
    if card["calls"]:
        print("System calls per card (strace, the client process, one card less an open and "
              "close), the most frequent first: %s.\n" % "; ".join(
                  "%s %d (%s)" % (labels[n], sum(calls.values()), ", ".join(
                      "%s %d" % (call, count) for call, count in
                      sorted(calls.items(), key=lambda item: -item[1]) if count > 0))
                  for n, calls in card["calls"].items()))
    # The floor a card cannot go below: its frames, each at least the bare SCardTransmit loop's
    # CPU a frame, and the log's file work, both measured in this run's rounds.
    frames_floor = [card["frames"] * r["bare"][1] / 1e3 for r in frame]
    card_floor = [card["log_lines"] * r["appended"] / 1e3 for r in process]
    missing_floor = [card["log_lines"] * r["missing"] / 1e3 for r in process]

    def why(peer, peer_cpu, log_floor, log_work):
        floors = [f + g for f, g in zip(frames_floor, log_floor)]
        text = ("floor %.2f ms: %d frames at the bare SCardTransmit's CPU (%.2f ms) and %s "
                "(%.2f ms), against %s's whole %.2f ms" % (
                    median(floors), card["frames"], median(frames_floor), log_work,
                    median(log_floor), peer, median(peer_cpu)))
        reachable = median(floors) <= median(peer_cpu)
        return ("above the floor; " if reachable else "unreachable: ") + text

    if "libfreefare" in rounds[0]:
        ratios = [r["logged"][1] / r["libfreefare"][1] for r in rounds]
        goals.add("CPU per card with the log / libfreefare's (<= 1)", ratios, 1, "%.2f",
                  why("libfreefare", [r["libfreefare"][1] / 1e3 for r in rounds], card_floor,
                      "the %d log lines' open, write and close" % card["log_lines"]))
    else:
        goals.rows.append(("CPU per card with the log / libfreefare's (<= 1)", "not measured", "",
                           "libfreefare or the PC/SC libnfc missing"))
    goals.add("CPU per card without the log folder / pyscard's (<= 1)",
              [r["unlogged"][1] / r["pyscard"][1] for r in rounds], 1, "%.2f",
              why("pyscard", [r["pyscard"][1] / 1e3 for r in rounds], missing_floor,
                  "the %d lines' failed opens, as described" % card["log_lines"]))
    if "python" in rounds[0]:
        goals.add("Python module's CPU per card / `tarsin-rf run`'s (<= 1.2)",
                  [r["python"][1] / r["logged"][1] for r in rounds], 1.2, "%.2f",
                  "the module's calls cost more than the script's")

    encodings = pcscd["encodings"]
    print("### MIFARE encodings per second through pcscd (%d cores), %d rounds\n"
          % (os.cpu_count(), len(encodings)))
    table(["Round", "1 reader", "2 readers", "4 readers", "8 readers"],
          [(str(i + 1), *("%.0f /s (x%.2f)" % (r[str(t)], r[str(t)] / r["1"]) for t in (1, 2, 4, 8)))
           for i, r in enumerate(encodings)])
    cores = min(os.cpu_count(), 8)
    goals.add("Encodings per second, %d readers / 1 reader (> 1; %d cores here)" % (cores, cores),
              [r[str(cores)] / r["1"] for r in encodings], 1, "%.2f",
              "more readers than one did not give more encodings", below=False)

    print("### Goals (median of the rounds above)\n")
    table(["Goal", "median", "min..max", "verdict"], goals.rows)
    print("The floor the log sets: each log line is its own open, write and close "
          "(%.0f lines a frame, %.0f system calls): %.1f us a frame (%s) and %.2f ms a DESFire "
          "card (%d lines), with the log; without its folder each line's failed open, %.1f us a "
          "frame." % (lines, 3 * lines, median(floor), spread(floor, "%.1f"), median(card_floor),
                      card["log_lines"], median([r["lines"] * r["missing"] for r in process])))


def commit():
    """The commit measured, marked when the tree holds changes not committed."""
    head = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"],
                          capture_output=True, text=True).stdout.strip() or "unknown"
    changed = subprocess.run(["git", "-C", ROOT, "status", "--porcelain", "--untracked-files=no"],
                             capture_output=True, text=True).stdout.strip()
    return head + (" with changes not committed" if changed else "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build/default"))
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--quick", action="store_true", help="a functional check: two rounds")
    parser.add_argument("--inside", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    if args.quick:
        args.rounds = 2
    args.cli = os.path.join(args.build, "src/host/cli/tarsin-rf")
    args.ifd = os.path.join(args.build, "sim/ifd/libifd-tarsin-virtual.so")
    if args.inside:
        with open(args.inside, "w") as out:
            json.dump(inside_pcscd(args), out)
        return 0
    print("Run %s UTC: `bench/run-benchmarks.py%s` on %s, commit %s.\n" % (
        datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M"),
        "".join(" " + a for a in sys.argv[1:]), machine(),
        commit()))
    process = in_process(args)
    with tempfile.TemporaryDirectory(prefix="tarsin-bench-",
                                     dir="/dev/shm" if os.path.isdir("/dev/shm") else None) as folder:
        pcscd = through_pcscd(args, folder)
    report(args, process, pcscd)
    return 0


if __name__ == "__main__":
    sys.exit(main())
