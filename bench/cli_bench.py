#!/usr/bin/env python3
"""moxmsg end to end, by wall clock: a batch of message files with 1 and 2 jobs, and one 100 MB
multipart message from a file and from standard input beside `wc -l` on the same file.

    cli_bench.py MOXMSG SOURCE_ROOT WORK_DIR RESULTS_DIR REPETITIONS

The inputs are made in WORK_DIR on first use (copies of the test messages, and a generated
message). Each repetition runs every case once, in a new random order; the JSON written to
RESULTS_DIR/cli_bench.json has one entry per run in the layout of Google Benchmark's, with the
child's peak RSS (MiB) beside its times, for summary.py."""
import base64
import glob
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

# Ten thousand files, so that the process's start-up (about 25 ms, nearly all of it the dynamic
# loader relocating Xerces-C++ and its dependencies) is a small part of either side.
BATCH_FILES = 10000
LARGE_BYTES = 100 * 1000 * 1000


def make_batch(source_root, directory):
    """BATCH_FILES copies of the test messages, round robin, under names of their own."""
    if os.path.isdir(directory) and len(os.listdir(directory)) == BATCH_FILES:
        return sorted(glob.glob(os.path.join(directory, "*.eml")))
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    messages = sorted(glob.glob(os.path.join(source_root, "tests/data/messages/*.eml")) +
                      glob.glob(os.path.join(source_root, "examples/*.eml")))
    for i in range(BATCH_FILES):
        source = messages[i % len(messages)]
        shutil.copyfile(source, os.path.join(directory, f"{i:04d}-{os.path.basename(source)}"))
    return sorted(glob.glob(os.path.join(directory, "*.eml")))


def make_large(path):
    """A signed-looking AS2 message: multipart/mixed of 1 MiB base64 parts up to LARGE_BYTES."""
    if os.path.exists(path) and os.path.getsize(path) >= LARGE_BYTES:
        return
    body = base64.encodebytes(random.Random(2045).randbytes(1 << 20)).replace(b"\n", b"\r\n")
    with open(path + ".part", "wb") as f:
        f.write(b"From: sender@example.org\r\nTo: receiver@example.org\r\n"
                b"AS2-From: sender\r\nAS2-To: receiver\r\nMessage-ID: <large@example.org>\r\n"
                b"MIME-Version: 1.0\r\n"
                b"Content-Type: multipart/mixed; boundary=\"----=_Part_0\"\r\n\r\n")
        part = 0
        while f.tell() < LARGE_BYTES:
            f.write(b"------=_Part_0\r\nContent-Type: application/edi-x12\r\n"
                    b"Content-Transfer-Encoding: base64\r\n"
                    b"Content-Disposition: attachment; filename=\"part%d.edi\"\r\n\r\n" % part)
            f.write(body)
            part += 1
        f.write(b"------=_Part_0--\r\n")
    os.replace(path + ".part", path)


def run(commands, measured):
    """Runs a pipeline (list of argv) with its output discarded. Returns the wall seconds, and
    the CPU seconds and peak RSS (MiB) of its last command as /usr/bin/time reports them: a
    child's own rusage would count the memory of this Python process, which it was forked
    from."""
    start = time.perf_counter()
    procs = []
    for i, argv in enumerate(commands):
        last = i == len(commands) - 1
        if last:
            argv = ["/usr/bin/time", "-f", "%M %U %S", "-o", measured] + argv
        procs.append(subprocess.Popen(argv, stdin=procs[-1].stdout if procs else subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL if last else subprocess.PIPE))
        if i > 0:
            procs[-2].stdout.close()  # the child holds the pipe now
    for p in procs:
        if p.wait() != 0:
            raise SystemExit(f"{p.args} exited with {p.returncode}")
    wall = time.perf_counter() - start
    with open(measured) as f:
        rss_kib, user, system = f.read().split()[-3:]
    return wall, float(user) + float(system), int(rss_kib) / 1024.0


def main():
    moxmsg, source_root, work, results, repetitions = sys.argv[1:6]
    repetitions = int(repetitions)
    work = os.path.join(work, "cli")
    os.makedirs(work, exist_ok=True)
    batch = make_batch(source_root, os.path.join(work, "batch"))
    large = os.path.join(work, "multipart-100MB.eml")
    make_large(large)
    # Documents go to memory (tmpfs) where there is one: creating and renaming ten thousand
    # files on a shared disk's journalled file system took anything from 0.4 to 4 s of system
    # time from run to run, which would measure the disk, not moxmsg.
    out_root = "/dev/shm" if os.path.isdir("/dev/shm") else work
    out = os.path.join(tempfile.mkdtemp(prefix="moxmsg-bench-", dir=out_root), "out")
    measured = os.path.join(work, "time.txt")

    def batch_run(jobs):
        def go():
            shutil.rmtree(out, ignore_errors=True)  # outside the timed part
            return run([[moxmsg, "-j", str(jobs), "-o", out] + batch], measured)
        return go

    cases = {
        "Cli/batch10000/j1": batch_run(1),
        "Cli/batch10000/j2": batch_run(2),
        "Cli/large100MB/moxmsg_file": lambda: run([[moxmsg, large]], measured),
        "Cli/large100MB/moxmsg_stdin": lambda: run([["cat", large], [moxmsg, "-"]], measured),
        "Cli/large100MB/wc_file": lambda: run([["wc", "-l", large]], measured),
        "Cli/large100MB/wc_stdin": lambda: run([["cat", large], ["wc", "-l"]], measured),
    }
    for case in cases.values():  # warm-up: page cache, directory entries
        case()
    entries = []
    order = list(cases)
    for _ in range(repetitions):
        random.shuffle(order)
        for name in order:
            wall, cpu, rss = cases[name]()
            entries.append({"name": name, "run_name": name, "run_type": "iteration",
                            "time_unit": "s", "real_time": wall, "cpu_time": cpu,
                            "peak_rss_mib": rss})
    shutil.rmtree(os.path.dirname(out), ignore_errors=True)
    with open(os.path.join(results, "cli_bench.json"), "w") as f:
        json.dump({"benchmarks": entries}, f, indent=1)


if __name__ == "__main__":
    main()
