#!/usr/bin/env python3
"""Reads the JSON results of bench/run.sh and prints one line per goal (ratio of medians of
CPU time or of throughput, peers measured in the same run), then a Markdown table of all
medians. A goal whose peer was not built is reported as skipped."""
import glob
import json
import os
import statistics
import sys

UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load(directory):
    """Median CPU time (s), real time (s), MB/s and counters of every benchmark, by name."""
    runs = {}
    for path in sorted(glob.glob(os.path.join(directory, "*.json"))):
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
                continue
            name = b.get("run_name", b["name"]).replace("/iterations:1", "")
            runs.setdefault(name, []).append(b)
    medians = {}
    for name, rs in runs.items():
        scale = UNIT[rs[0]["time_unit"]]
        m = {
            "cpu": statistics.median(r["cpu_time"] * scale for r in rs),
            "real": statistics.median(r["real_time"] * scale for r in rs),
            "runs": len(rs),
        }
        if "items_per_second" in rs[0]:
            m["items"] = statistics.median(r["items_per_second"] for r in rs)
        if "bytes_per_second" in rs[0]:
            m["mbps"] = statistics.median(r["bytes_per_second"] / 1e6 for r in rs)
        if "peak_rss" in rs[0]:
            m["peak_rss"] = statistics.median(r["peak_rss"] for r in rs)
        if "peak_rss_mib" in rs[0]:  # a limit, so the worst run counts
            m["peak_rss_mib"] = max(r["peak_rss_mib"] for r in rs)
        if "blocked_per_document" in rs[0]:
            m["blocked"] = statistics.median(r["blocked_per_document"] for r in rs)
        medians[name] = m
    return medians


def parallel_figures(medians, parallel):
    """How many cores the threaded runs received (CPU / wall; below 2 for two threads, the
    machine held the second core back), and CPU per document of two threads against one
    (1.00: no cost from sharing anything)."""
    run = {(p, t): medians[parallel.format(p, t)] for p in ("held", "percall") for t in (1, 2)
           if parallel.format(p, t) in medians}
    cores = ", ".join(f"{p} {t}T {m['cpu'] / m['real']:.2f}" for (p, t), m in run.items())
    per_document = ", ".join(f"{p} {run[(p, 2)]['cpu'] / run[(p, 1)]['cpu']:.2f}"
                             for p in ("held", "percall") if (p, 1) in run and (p, 2) in run)
    return (f"cores the parallel runs received (CPU / wall) {cores or 'skipped'}; "
            f"CPU per document 2 threads / 1 thread {per_document or 'skipped'}")


def main():
    medians = load(sys.argv[1])
    lines = []

    def goal(name, value, limit, at_most, text):
        if value is None:
            lines.append(f"{name}: skipped (peer not built; goal: {text})")
            return
        met = value <= limit if at_most else value >= limit
        lines.append(f"{name}: {value:.2f} (goal: {text}) {'met' if met else 'not met'}")

    def ratio(ours, peer, key, inverse=False):
        if ours not in medians or peer not in medians:
            return None
        a, b = medians[ours][key], medians[peer][key]
        return b / a if inverse else a / b

    for policy in ("percall", "held"):
        goal(f"document_fill_serialize_{policy}",
             ratio(f"Document/FillSerialize/moxxml/{policy}",
                   f"Document/FillSerialize/xerces/{policy}", "cpu"),
             1.10, True, "time <= 1.10 x raw Xerces")
    # Documents per second of wall clock, every thread counted, in the same run: the threads'
    # gain can only show when the machine gives the process a second core.
    parallel = "Document/Parallel/moxxml/{}/real_time/threads:{}"
    for policy in ("held", "percall"):
        goal(f"document_parallel_{policy}_2_threads",
             ratio(parallel.format(policy, 2), parallel.format(policy, 1), "items"),
             1.8, False, "wall-clock throughput >= 1.8 x one thread")
    informative = ratio(parallel.format("percall", 2), parallel.format("held", 1), "items")
    if informative is not None:
        lines.append(f"document_parallel_percall_2_vs_held_1: {informative:.2f} (informative: "
                     "wall-clock throughput, 2 threads per call / 1 thread held)")
    goal("payload_64MiB_time",
         ratio("Payload/FillSerialize/moxxml", "Payload/FillSerialize/xerces", "cpu"),
         1.15, True, "time <= 1.15 x raw Xerces")
    rss = medians.get("Payload/FillSerialize/moxxml", {}).get("peak_rss")
    goal("payload_64MiB_peak_rss", rss, 8.0, True, "peak RSS <= 8 x payload")
    for codec, peer, limit in (("Base64Encode", "OpenSSL", 1.0), ("Base64Decode", "OpenSSL", 1.0),
                               ("QuotedPrintableEncode", "GMime", 1.5),
                               ("QuotedPrintableDecode", "GMime", 1.0)):
        goal(f"{codec}_vs_{peer}",
             ratio(f"BM_{codec}_Moxxml", f"BM_{codec}_{peer}", "mbps"),
             limit, False, f"MB/s >= {limit} x {peer}")
    goal("mime_parse_50MiB_vs_GMime",
         ratio("Mime/mixed50M/moxxml", "Mime/mixed50M/gmime", "mbps"), 1.5, False,
         "MB/s >= 1.5 x GMime")
    one_byte = [medians[n]["mbps"] for n in ("Mime/mixed50M/moxxml_1byte", "Mime/mdn5M/moxxml_1byte")
                if n in medians]
    goal("mime_parse_1byte_MBps", min(one_byte) if one_byte else None, 5.0, False,
         ">= 5 MB/s, slower of the two inputs")

    # moxmsg, by wall clock: -j 2 against -j 1 over the same files, and a 100 MB message
    # against `wc -l` reading the same file.
    goal("moxmsg_batch10000_j2_vs_j1",
         ratio("Cli/batch10000/j2", "Cli/batch10000/j1", "real", inverse=True), 1.7, False,
         "files/s >= 1.7 x -j 1")
    for source in ("file", "stdin"):
        goal(f"moxmsg_100MB_{source}_vs_wc",
             ratio(f"Cli/large100MB/moxmsg_{source}", "Cli/large100MB/wc_file", "real"), 8.0,
             True, "time <= 8 x wc -l FILE")
        goal(f"moxmsg_100MB_{source}_peak_rss_MiB",
             medians.get(f"Cli/large100MB/moxmsg_{source}", {}).get("peak_rss_mib"), 64.0, True,
             "<= 64 MiB, worst run")
    goal("python_parse_50MiB_vs_email",
         ratio("Python/Mime/mixed50M/email", "Python/Mime/mixed50M/moxxml", "cpu"), 50.0, False,
         "parse_message >= 50 x email.message_from_bytes")
    goal("python_document_vs_cpp",
         ratio("Python/Document/FillSerialize/python", "Python/Document/FillSerialize/cpp",
               "cpu"), 1.30, True, "Python loop time <= 1.30 x the C++ loop, platform held")
    goal("python_serialize_two_threads",
         ratio("Python/Serialize/threads:1", "Python/Serialize/threads:2", "real"), 1.70, False,
         "two threads >= 1.70 x the documents per second of one")

    print("\n".join(lines))
    print()
    print("| benchmark | runs | CPU median | wall median | MB/s | peak RSS |")
    print("|---|---:|---:|---:|---:|---:|")
    for name, m in medians.items():
        mbps = f"{m['mbps']:.0f}" if "mbps" in m else ""
        rss = (f"{m['peak_rss']:.2f} x payload" if "peak_rss" in m else
               f"{m['peak_rss_mib']:.1f} MiB" if "peak_rss_mib" in m else "")
        print(f"| {name} | {m['runs']} | {m['cpu'] * 1e3:.3f} ms | {m['real'] * 1e3:.3f} ms "
              f"| {mbps} | {rss} |")
    print()
    print("Informative: fill alone "
          f"{medians.get('Document/Fill/moxxml', {}).get('cpu', 0) * 1e6:.1f} us; "
          "pugixml fill+serialize / raw Xerces (held) "
          + (f"{ratio('Document/FillSerialize/pugixml', 'Document/FillSerialize/xerces/held', 'cpu'):.3f}"
             if "Document/FillSerialize/pugixml" in medians else "skipped")
          + "; " + parallel_figures(medians, parallel)
          + "; MDN 5 MiB moxxml / GMime MB/s "
          + (f"{ratio('Mime/mdn5M/moxxml', 'Mime/mdn5M/gmime', 'mbps'):.2f}"
             if "Mime/mdn5M/gmime" in medians else "skipped")
          + "; moxmsg 100 MB from a pipe / cat | wc -l "
          + (f"{ratio('Cli/large100MB/moxmsg_stdin', 'Cli/large100MB/wc_stdin', 'real'):.2f}"
             if "Cli/large100MB/wc_stdin" in medians else "skipped")
          + "; moxmsg batch CPU -j 2 / -j 1 "
          + (f"{ratio('Cli/batch10000/j2', 'Cli/batch10000/j1', 'cpu'):.2f}"
             if "Cli/batch10000/j1" in medians else "skipped")
          + "; the C++ document loop on two threads / one, what the machine gave "
          + (f"{ratio('Python/CppLoop/threads:1', 'Python/CppLoop/threads:2', 'real'):.2f}"
             if "Python/CppLoop/threads:2" in medians else "skipped")
          + "; blocking waits per document of two Python threads serialising "
          + (f"{medians['Python/Serialize/threads:2']['blocked']:.4f}"
             if "Python/Serialize/threads:2" in medians else "skipped"))


if __name__ == "__main__":
    main()
