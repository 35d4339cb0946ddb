#!/usr/bin/env python3
"""Benchmark: a whole ta-key editing run against the same one-byte patch made
with dd, counted in instructions under callgrind (repeatable on a noisy
machine), plus a 4 GiB sparse file, a 1 GiB answer, and wall-clock medians
(noisy, reported only).

    run_bench.py --program build/release/ta-key [--quick] [--check]

--check exits 1 when a target is missed. Run it through CMake with
`cmake --preset release && cmake --build --preset release --target bench`.
"""
import argparse
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
SAMPLE = ROOT / "examples" / "tk981.dat"
GIB = 1 << 30
KEY = b"5\n"               # key 5: position 327, the byte dd patches at offset 326
DD_OFFSET = 326
# Every measured command gets this environment and nothing else: C start-up
# work depends on the environment's size, and counts must compare like with like.
CLEAN_ENVIRONMENT = {"PATH": "/usr/bin:/bin", "LC_ALL": "C"}

TARGETS = {
    "instructions": 80_000,
    "tool_to_dd": 0.25,
    "big_to_small": (0.95, 1.05),
    "peak_rss_kib": 2048,
    "consumed_bytes": 64 * 1024,
}


def instructions(argv, stdin_path, cwd) -> int:
    with open(stdin_path, "rb") as stdin:
        result = subprocess.run(
            ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + argv,
            stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=cwd,
            env=CLEAN_ENVIRONMENT, check=True)
    match = re.search(rb"Collected : (\d+)", result.stderr)
    if not match:
        sys.exit("callgrind printed no count:\n" + result.stderr.decode(errors="replace"))
    return int(match.group(1))


def run_with_usage(peak_memory, argv, stdin_file, cwd):
    """Runs once through the small starter; returns (exit status, peak resident KiB)."""
    result = subprocess.run([peak_memory] + argv, stdin=stdin_file, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, cwd=cwd, env=CLEAN_ENVIRONMENT, check=True)
    # The program's own output went to the same pipe; the starter's line is last.
    peak_kib, status = result.stdout.splitlines()[-1].split()
    return int(status), int(peak_kib)


def wall_clock_median(argv, stdin_path, cwd, runs) -> float:
    """Median seconds per run, with hyperfine when it is installed."""
    if shutil.which("hyperfine"):
        command = " ".join(argv) + f" < {stdin_path}"
        export = Path(cwd) / "hyperfine.json"
        subprocess.run(["hyperfine", "--warmup", "3", "--runs", str(runs), "--shell", "sh",
                        "--style", "none", "--export-json", str(export), command],
                       cwd=cwd, env=CLEAN_ENVIRONMENT, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        return json.loads(export.read_text())["results"][0]["median"]
    times = []
    for _ in range(runs):
        with open(stdin_path, "rb") as stdin:
            start = time.perf_counter()
            subprocess.run(argv, stdin=stdin, stdout=subprocess.DEVNULL, cwd=cwd,
                           env=CLEAN_ENVIRONMENT, check=True)
            times.append(time.perf_counter() - start)
    return statistics.median(times)


def machine() -> str:
    model = ""
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{model or platform.processor()}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", type=Path, default=ROOT / "build" / "release" / "ta-key")
    parser.add_argument("--peak-memory", type=Path, default=ROOT / "build" / "release" / "peak_memory",
                        help="the starter that reports peak memory (target peak_memory)")
    parser.add_argument("--quick", action="store_true", help="fewer wall-clock runs")
    parser.add_argument("--check", action="store_true", help="exit 1 when a target is missed")
    options = parser.parse_args()
    program = str(options.program.resolve())
    peak_memory = str(options.peak_memory.resolve())
    dd = shutil.which("dd")

    work = Path(tempfile.mkdtemp(prefix="ta-key-bench-"))
    try:
        sample = SAMPLE.read_bytes()
        (work / "key").write_bytes(KEY)
        (work / "byte").write_bytes(b"R")
        (work / "empty").write_bytes(b"")

        def fresh(name, size=None):
            path = work / name
            path.write_bytes(sample)
            if size is not None:
                os.truncate(path, size)
            return name

        tool_small = instructions([program, fresh("small.dat")], work / "key", work)
        assert (work / "small.dat").read_bytes()[DD_OFFSET] == ord("R"), "the tool did not edit"
        dd_small = instructions([dd, "if=byte", f"of={fresh('dd.dat')}", "bs=1", f"seek={DD_OFFSET}",
                                 "count=1", "conv=notrunc,fsync", "status=none"], work / "empty", work)
        assert (work / "dd.dat").read_bytes() == (work / "small.dat").read_bytes(), "dd and the tool differ"
        tool_big = instructions([program, fresh("big.dat", 4 * GIB)], work / "key", work)

        # 1 GiB answer to the file-name question, no line end.
        answer = work / "answer"
        with open(answer, "wb") as data:
            chunk = b"n" * (1 << 20)
            for _ in range(GIB // len(chunk)):
                data.write(chunk)
        with open(answer, "rb") as stdin:
            status, peak_kib = run_with_usage(peak_memory, [program], stdin, work)
            consumed = os.lseek(stdin.fileno(), 0, os.SEEK_CUR)
        with open(work / "key", "rb") as stdin:
            _, small_peak_kib = run_with_usage(peak_memory, [program, fresh("small.dat")], stdin, work)
        tool_answer = instructions([program], answer, work)
        answer.unlink()

        runs = 20 if options.quick else 200
        tool_seconds = wall_clock_median([program, fresh("small.dat")], work / "key", work, runs)
        dd_seconds = wall_clock_median([dd, "if=byte", "of=dd.dat", "bs=1", f"seek={DD_OFFSET}",
                                        "count=1", "conv=notrunc,fsync", "status=none"],
                                       work / "empty", work, runs)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    tool_to_dd = tool_small / dd_small
    big_to_small = tool_big / tool_small
    peak = max(peak_kib, small_peak_kib)
    low, high = TARGETS["big_to_small"]
    rows = [
        ("whole editing run (instructions)", f"{tool_small:,}", f"<= {TARGETS['instructions']:,}",
         tool_small <= TARGETS["instructions"]),
        ("dd one-byte patch (instructions)", f"{dd_small:,}", "", None),
        ("tool / dd", f"{tool_to_dd:.3f}", f"<= {TARGETS['tool_to_dd']}", tool_to_dd <= TARGETS["tool_to_dd"]),
        ("4 GiB sparse file (instructions)", f"{tool_big:,}", "", None),
        ("big / small", f"{big_to_small:.3f}", f"{low} to {high}", low <= big_to_small <= high),
        ("1 GiB answer: bytes consumed", f"{consumed:,}", f"<= {TARGETS['consumed_bytes']:,}",
         consumed <= TARGETS["consumed_bytes"]),
        ("1 GiB answer (instructions)", f"{tool_answer:,}", "", None),
        ("peak resident memory (KiB)", f"{peak:,}", f"<= {TARGETS['peak_rss_kib']:,}",
         peak <= TARGETS["peak_rss_kib"]),
        ("wall clock, tool (median, noisy)", f"{tool_seconds * 1e3:.2f} ms", "", None),
        ("wall clock, dd (median, noisy)", f"{dd_seconds * 1e3:.2f} ms", "", None),
    ]
    print(f"Machine: {machine()}")
    print(f"Program: {program}")
    print()
    print("| measure | value | target | met |")
    print("|---|---:|---|---|")
    for name, value, target, met in rows:
        print(f"| {name} | {value} | {target} | {'' if met is None else ('yes' if met else 'NO')} |")
    if status != 0:
        print(f"the 1 GiB answer run ended with status {status}")
    missed = [name for name, _, _, met in rows if met is False] + (["exit status"] if status else [])
    if missed:
        print("\nmissed: " + ", ".join(missed))
    return 1 if options.check and missed else 0


if __name__ == "__main__":
    sys.exit(main())
