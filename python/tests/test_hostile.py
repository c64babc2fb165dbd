"""Hostile input: whatever the bytes, parse_message returns a capture (the same at every
chunking), and recording it gives XML or an Error, never a crash."""
import random
import re
import warnings

import pytest

import moxxml
from conftest import MESSAGES, SOURCE, capture_shape

CORPORA = sorted(p for p in (SOURCE / "fuzz" / "corpus").glob("*/*") if p.is_file())


def mutations(data, rng, count):
    """Damaged variants of a message: bytes flipped, lines cut, delimiters and blank lines
    put where they do not belong, ranges repeated or dropped, the end cut off."""
    boundaries = re.findall(rb'boundary="?([^";\r\n]+)', data, re.IGNORECASE) or [b"b"]
    for _ in range(count):
        out = bytearray(data)
        for _ in range(rng.randint(1, 6)):
            at = rng.randrange(len(out) + 1)
            kind = rng.randrange(7)
            if kind == 0 and out:
                out[min(at, len(out) - 1)] = rng.randrange(256)
            elif kind == 1:
                line = b"\r\n--" + rng.choice(boundaries) + rng.choice([b"", b"--"]) + b"\r\n"
                out[at:at] = line
            elif kind == 2:
                out[at:at] = rng.choice([b"\r\n", b"\n", b"\r", b"\r\n\r\n", b"\x00", b";",
                                         b'"', b"=?", b"*0*=", b" \t"])
            elif kind == 3:
                del out[at:at + rng.randrange(1, 200)]
            elif kind == 4:
                end = min(len(out), at + rng.randrange(1, 400))
                out[at:at] = out[at:end] * rng.randrange(1, 4)
            elif kind == 5:
                del out[at:]
            else:
                out[at:at] = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 30)))
        yield bytes(out)


def check(data, rng):
    whole = moxxml.parse_message(data)
    parser = moxxml.Parser()
    at = 0
    while at < len(data):
        size = rng.randrange(1, 300)
        parser.feed(data[at:at + size])
        at += size
    expected = capture_shape(whole)
    assert capture_shape(parser.close()) == expected
    assert capture_shape(moxxml.parse_message(data, chunk_size=7)) == expected
    builder = moxxml.Builder()
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            builder.set_msginfo_mime(whole)
            assert builder.serialize().startswith("<?xml")
        except moxxml.Error as error:
            assert error.text and isinstance(error.code, int)
    assert all(w.category is moxxml.SerializerWarning and str(w.message) for w in caught)


@pytest.mark.parametrize("path", CORPORA, ids=lambda p: p.parent.name + "/" + p.name)
def test_fuzz_corpus_inputs(path):
    check(path.read_bytes(), random.Random(path.name))


@pytest.mark.parametrize("path", MESSAGES, ids=lambda p: p.name)
def test_mutated_messages(path):
    rng = random.Random(path.name)
    for data in mutations(path.read_bytes(), rng, 40):
        check(data, rng)


def depth(part):
    return 1 + max((depth(child) for child in part.children), default=0)


def test_limits_hold_from_python():
    nested = b"".join(b"Content-Type: multipart/mixed; boundary=b%d\r\n\r\n--b%d\r\n" % (i, i)
                      for i in range(300))
    assert depth(moxxml.parse_message(nested).tree) == 64
    many = b"".join(b"X-F%d: v\r\n" % i for i in range(3000)) + b"\r\nbody"
    assert len(moxxml.parse_message(many, chunk_size=3).tree.headers) == 1000
    params = b"Content-Type: text/plain" + b"".join(b"; p%d=v" % i for i in range(500)) + b"\r\n"
    assert len(moxxml.parse_message(params).tree.params) == 100
