"""Threads: builders filled and serialised on several threads at once give the documents one
thread gives, parsing runs on several threads at once, one builder shared by threads stays
whole, and every long call lets other threads run while it works."""
import sys
import threading
import time
import xml.etree.ElementTree as ET
from concurrent.futures import ThreadPoolExecutor

import moxxml
from conftest import MESSAGES, capture_shape, expected_capture

MDN = (b"Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n\r\n"
       b"--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
       b"Final-Recipient: rfc822; us\r\nDisposition: automatic-action/MDN-sent-automatically;"
       b" processed\r\n\r\n--b--\r\n")


def document(capture, worker, round_):
    builder = moxxml.Builder()
    builder.set_applinfo_name(f"worker {worker}")
    builder.set_applinfo_msgid(f"<{worker}.{round_}@example.com>")
    builder.add_transport_protocol("AS2", "1.2", f"AS2-From: w{worker}\r\nAS2-To: r{round_}\r\n")
    builder.set_msginfo_mime(capture)
    builder.set_payload(bytes([worker, round_]) * 3000)
    return builder.serialize()


def test_threads_build_and_serialise_their_own_documents():
    capture = moxxml.parse_message(MDN)
    jobs = [(w, r) for w in range(8) for r in range(25)]
    with ThreadPoolExecutor(max_workers=8) as pool:
        texts = list(pool.map(lambda job: document(capture, *job), jobs))
    for (worker, round_), text in zip(jobs, texts):
        assert text == document(capture, worker, round_)
        root = ET.fromstring(text)
        assert root.find("applinfo/msgid").get("v") == f"<{worker}.{round_}@example.com>"


def test_threads_parse_at_once():
    jobs = [(path, chunk) for path in MESSAGES for chunk in (1, 7, 65536)]
    with ThreadPoolExecutor(max_workers=4) as pool:
        shapes = list(pool.map(
            lambda job: capture_shape(moxxml.parse_message(job[0].read_bytes(), job[1])), jobs))
    for (path, _), shape in zip(jobs, shapes):
        assert shape == expected_capture(path)


def test_one_builder_shared_by_threads_stays_whole():
    shared = moxxml.Builder()
    shared.set_payload(b"x" * 200000)

    def use(worker):
        texts = []
        for round_ in range(30):
            shared.set_applinfo_name(f"{worker}.{round_}")
            shared.add_security_protocol(f"P{worker}", str(round_))
            texts.append(shared.serialize())
            texts.append(moxxml.Builder.__copy__(shared).serialize())
        return texts

    with ThreadPoolExecutor(max_workers=4) as pool:
        results = [text for texts in pool.map(use, range(4)) for text in texts]
    for text in results:
        root = ET.fromstring(text)
        worker, round_ = root.find("applinfo/name").get("v").split(".")
        assert 0 <= int(worker) < 4 and 0 <= int(round_) < 30
    assert len(ET.fromstring(shared.serialize()).findall("transport/security/secprotocol")) == 120


def releases_the_gil(call):
    """Whether another thread runs while call works. With a switch interval far beyond the
    test, the worker gives the GIL up only where the module releases it."""
    seen = threading.Event()
    finished = threading.Event()

    def worker():
        deadline = time.monotonic() + 10
        while not seen.is_set() and time.monotonic() < deadline:
            call()
        finished.set()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    try:
        thread = threading.Thread(target=worker)
        thread.start()
        while not finished.is_set():
            seen.set()  # runs only while the worker is inside the module
            time.sleep(0.0005)
        thread.join()
    finally:
        sys.setswitchinterval(interval)
    return seen.is_set()


def test_long_calls_release_the_gil():
    big = bytes(range(256)) * 16384  # 4 MiB
    message = (b"Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n\r\n" + big +
               b"\r\n--x--\r\n")
    builder = moxxml.Builder()
    builder.set_payload(big)
    parser = moxxml.Parser()
    calls = {
        "parse_message": lambda: moxxml.parse_message(message),
        "Parser.feed": lambda: parser.feed(message),
        "serialize": builder.serialize,
        "set_payload": lambda: moxxml.Builder().set_payload(big, "quoted-printable"),
        "base64_encode": lambda: moxxml.base64_encode(big),
        "base64_decode": lambda: moxxml.base64_decode(big),
        "quoted_printable_encode": lambda: moxxml.quoted_printable_encode(big),
        "quoted_printable_decode": lambda: moxxml.quoted_printable_decode(big),
    }
    for name, call in calls.items():
        assert releases_the_gil(call), name
