#!/usr/bin/env python3
"""Benchmarks of the Python module moxxml beside their peers in the same process, written as
Google Benchmark JSON for summary.py:

- Python/Mime/mixed50M/{moxxml,email}: moxxml.parse_message and email.message_from_bytes
  on the 50 MiB multipart/mixed message of mime_bench (the same bytes, from the C++ peer);
  CPU time per parse.
- Python/Document/FillSerialize/{python,cpp}: the representative document of document.cpp
  filled into a Builder and serialised, in a Python loop and in the same loop in C++
  (python_peer.cpp, through ctypes); the Python loop's output is checked to be the C++ text.
  Both sides hold the XML platform (the module from its first serialize on, the C++ loop
  with a MoxXMLPlatformGuard). CPU time per document.
- Python/Serialize/threads:{1,2}: serialize() of a filled builder per thread, in one thread
  and in two threads at once; wall time per document, so their ratio is the speed-up, and
  how often a thread blocked (GIL or lock) per document.
- Python/CppLoop/threads:{1,2}: the C++ loop on one and on two threads (started from Python
  threads; ctypes releases the GIL): the speed-up the machine had to give (informative).

Repetitions of the two sides of each ratio are interleaved in random order.
Usage: python_bench.py BUILD_DIR RESULTS_DIR REPETITIONS
"""
import ctypes
import email
import json
import os
import random
import sys
import threading
import time

build, results, repetitions = sys.argv[1], sys.argv[2], int(sys.argv[3])
sys.path.insert(0, os.path.join(build, "python"))
import moxxml  # noqa: E402

peer = ctypes.CDLL(os.path.join(build, "bench", "libmoxxml_bench_python_peer.so"))
for name in ("moxxml_bench_document_xml", "moxxml_bench_document_payload",
             "moxxml_bench_mixed_message"):
    getattr(peer, name).restype = ctypes.c_size_t
    getattr(peer, name).argtypes = [ctypes.POINTER(ctypes.c_char_p)]
peer.moxxml_bench_fill_serialize.restype = ctypes.c_size_t
peer.moxxml_bench_fill_serialize.argtypes = [ctypes.c_long]


def peer_bytes(function):
    pointer = ctypes.c_char_p()
    size = function(ctypes.byref(pointer))
    return ctypes.string_at(pointer, size)


# The representative document of document.cpp, value for value.
APPLINFO = ["AS2 Gateway", "7.4.2", "gw-prod-eu-03",
            "<20261205T231538.4f2a9c@gw-prod-eu-03.example.com>", "receipt",
            "2026-12-05T23:15:38.412Z", "success", "200",
            "Message received and signature verified"]
TRANSPORT_HEADERS = (
    "Host: as2.partner.example.net:4080\r\n"
    "User-Agent: ExampleAS2/3.1\r\n"
    "Date: Sat, 05 Dec 2026 23:15:38 GMT\r\n"
    "Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
    "AS2-Version: 1.2\r\n"
    "AS2-From: GATEWAYEU03\r\n"
    "AS2-To: PARTNER0042\r\n"
    "Subject: Receipt for order 4711-0815\r\n"
    "Disposition-Notification-To: mdn@gw-prod-eu-03.example.com\r\n"
    "Disposition-Notification-Options: signed-receipt-protocol=optional, pkcs7-signature; "
    "signed-receipt-micalg=optional, sha-256\r\n"
    "Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; "
    "micalg=sha-256; boundary=\"----=_Part_17_1181404816.1733440538\"\r\n"
    "Content-Length: 6234\r\n"
    "Connection: close\r\n"
    "\r\n")
SECURITY_HEADERS = ("Content-Type: application/pkcs7-signature; name=smime.p7s\r\n"
                    "Content-Transfer-Encoding: base64\r\n\r\n")
MSGINFO = ["mdn", "received", "<20261205T231537.88e1@as2.partner.example.net>",
           "ORDERS_4711-0815.edi", "PARTNER0042", "GATEWAYEU03"]
PARTS = [("text/plain; charset=us-ascii", "Human readable notice", "notice",
          "The message sent to PARTNER0042 has been received and its signature verified.\r\n"),
         ("message/disposition-notification", "Disposition", "mdn",
          "Reporting-UA: ExampleAS2/3.1\r\n"
          "Original-Recipient: rfc822; PARTNER0042\r\n"
          "Final-Recipient: rfc822; PARTNER0042\r\n"
          "Original-Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
          "Disposition: automatic-action/MDN-sent-automatically; processed\r\n"
          "Received-Content-MIC: 7v7F++fQaNJSqLa2nTAQxBJ7Ws0yQFKrWsd1gTNsiWE=, sha-256\r\n"),
         ("text/rfc822-headers", "Original headers", "headers",
          "AS2-From: GATEWAYEU03\r\nAS2-To: PARTNER0042\r\n")]
MDN = ("Message-ID: <20261205T231537.88e1@as2.partner.example.net>\r\n"
       "Date: Sat, 05 Dec 2026 23:15:37 GMT\r\n"
       "From: mdn@as2.partner.example.net\r\n"
       "Subject: Message Disposition Notification\r\n"
       "MIME-Version: 1.0\r\n"
       "Content-Type: multipart/report; report-type=disposition-notification;\r\n"
       " boundary=\"----=_Part_4_1733440537\"\r\n\r\n" + "".join(
           f"------=_Part_4_1733440537\r\nContent-Type: {ctype}\r\n"
           f"Content-Transfer-Encoding: 7bit\r\nContent-Description: {description}\r\n"
           f"Content-ID: <{cid}.1733440537@as2.partner.example.net>\r\n"
           f"Content-Disposition: inline\r\nContent-Language: en\r\n\r\n{body}\r\n"
           for ctype, description, cid, body in PARTS) + "------=_Part_4_1733440537--\r\n")

CAPTURE = moxxml.parse_message(MDN.encode())  # parsed once, as document.cpp does
PAYLOAD = peer_bytes(peer.moxxml_bench_document_payload)
APPLINFO_SETTERS = [moxxml.Builder.set_applinfo_name, moxxml.Builder.set_applinfo_version,
                    moxxml.Builder.set_applinfo_instance, moxxml.Builder.set_applinfo_msgid,
                    moxxml.Builder.set_applinfo_type, moxxml.Builder.set_applinfo_timestamp,
                    moxxml.Builder.set_applinfo_status, moxxml.Builder.set_applinfo_status_code,
                    moxxml.Builder.set_applinfo_status_text]
MSGINFO_SETTERS = [moxxml.Builder.set_msginfo_type, moxxml.Builder.set_msginfo_direction,
                   moxxml.Builder.set_msginfo_user_ref_id,
                   moxxml.Builder.set_msginfo_original_filename,
                   moxxml.Builder.set_msginfo_as1_to, moxxml.Builder.set_msginfo_as1_from]


def fill(builder):
    for setter, value in zip(APPLINFO_SETTERS, APPLINFO):
        setter(builder, value)
    builder.set_transport_origin("https://as2.partner.example.net:4080/as2/receive")
    builder.set_transport_destination("https://gw-prod-eu-03.example.com/as2/inbound")
    builder.add_transport_protocol("AS2", "1.2", TRANSPORT_HEADERS)
    builder.add_security_protocol("S/MIME", "3.2", SECURITY_HEADERS)
    for setter, value in zip(MSGINFO_SETTERS, MSGINFO):
        setter(builder, value)
    builder.set_data_location_type("file")
    builder.set_data_location_host("gw-prod-eu-03.example.com")
    builder.set_data_location_location("/var/spool/as2/inbound/2026/12/05/4f2a9c.edi")
    builder.set_msginfo_mime(CAPTURE)
    builder.set_payload(PAYLOAD, "base64")


def fill_and_serialize():
    builder = moxxml.Builder()
    fill(builder)
    return builder.serialize()


def python_loop(iterations):
    for _ in range(iterations):
        fill_and_serialize()


def voluntary_switches():
    """How often the calling thread has blocked so far (Linux)."""
    with open(f"/proc/self/task/{threading.get_native_id()}/status") as status:
        for line in status:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    return 0


class Workers:
    """Two long-lived threads, as a gateway's workers are: a new thread's first documents
    pay for its share of the heap, which would weigh on runs of a tenth of a second."""

    def __init__(self, count):
        self.start = threading.Barrier(count + 1)
        self.end = threading.Barrier(count + 1)
        self.calls = [None] * count
        for index in range(count):
            threading.Thread(target=self.work, args=(index,), daemon=True).start()

    def work(self, index):
        while True:
            self.start.wait()
            call, iterations = self.calls[index]
            before = voluntary_switches()
            if call is not None:
                for _ in range(iterations):
                    call()
            self.calls[index] = voluntary_switches() - before
            self.end.wait()

    def run(self, calls, iterations):
        """CPU and wall time of every call of calls made iterations times, each on its own
        worker, all at once, and how often the workers blocked meanwhile (on the GIL or a
        lock: preemption by other processes does not count). Idle workers make no call."""
        idle = self.start.parties - 1 - len(calls)
        self.calls = [(call, iterations) for call in calls] + [(None, 0)] * idle
        self.start.wait()
        began, cpu = time.perf_counter(), time.process_time()
        self.end.wait()
        return time.process_time() - cpu, time.perf_counter() - began, sum(self.calls)


records = []


def record(name, cpu, real, count, **counters):
    records.append({"name": name, "run_name": name, "run_type": "iteration",
                    "iterations": count, "cpu_time": cpu / count * 1e3,
                    "real_time": real / count * 1e3, "time_unit": "ms", **counters})


def timed(call):
    cpu, real = time.process_time(), time.perf_counter()
    call()
    return time.process_time() - cpu, time.perf_counter() - real


def main():
    expected = peer_bytes(peer.moxxml_bench_document_xml).decode()
    if fill_and_serialize() != expected:
        sys.exit("python_bench: the Python loop writes a different document than the C++ loop")
    mixed = peer_bytes(peer.moxxml_bench_mixed_message)
    if len(moxxml.parse_message(mixed).tree.children) != 200:
        sys.exit("python_bench: the 50 MiB message does not have its 200 parts")

    # Each document side runs for about 0.1 s per repetition, like document_bench.
    started = time.process_time()
    python_loop(50)
    iterations = max(50, int(50 * 0.1 / max(time.process_time() - started, 1e-6)))
    builders = [moxxml.Builder(), moxxml.Builder()]
    for builder in builders:
        fill(builder)
        builder.serialize()
    documents = {
        "Python/Document/FillSerialize/python": lambda: python_loop(iterations),
        "Python/Document/FillSerialize/cpp": lambda: peer.moxxml_bench_fill_serialize(iterations),
    }
    rng = random.Random()
    workers = Workers(2)
    for _ in range(repetitions * 4):
        for name in rng.sample(list(documents), len(documents)):
            cpu, real = timed(documents[name])
            record(name, cpu, real, iterations)
        for threads in rng.sample([1, 2], 2):
            cpu, real, blocked = workers.run(
                [builder.serialize for builder in builders[:threads]], iterations)
            record(f"Python/Serialize/threads:{threads}", cpu, real, iterations * threads,
                   blocked_per_document=blocked / (iterations * threads))
            cpu, real, _ = workers.run(
                [lambda: peer.moxxml_bench_fill_serialize(iterations)] * threads, 1)
            record(f"Python/CppLoop/threads:{threads}", cpu, real, iterations * threads)

    # Last: the millions of objects email makes leave the heap in a state that would slow
    # every later allocation, the document loops' on both sides included.
    parsers = {
        "Python/Mime/mixed50M/moxxml": lambda: moxxml.parse_message(mixed),
        "Python/Mime/mixed50M/email": lambda: email.message_from_bytes(mixed),
    }
    for _ in range(repetitions):
        for name in rng.sample(list(parsers), len(parsers)):
            cpu, real = timed(parsers[name])
            record(name, cpu, real, 1)

    with open(os.path.join(results, "python_bench.json"), "w") as out:
        json.dump({"benchmarks": records}, out, indent=1)


main()
