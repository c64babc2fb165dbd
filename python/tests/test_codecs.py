"""The four codecs, bytes to bytes: checked against Python's own encoders and decoders and
by round trips over random data of every length up to a few lines."""
import base64
import binascii
import random

import pytest

import moxxml

RNG = random.Random(2045)
SAMPLES = [bytes(RNG.randrange(256) for _ in range(n)) for n in range(0, 300)] + [
    bytes(range(256)) * 3,
    b"line one \r\nline two\t\r\n\r\ntrailing blank \r\n",
    b"lone\rCR and lone\nLF and = sign",
    b" " * 200 + b"\r\n" + b"x" * 200,
]


def test_base64_is_mime_base64():
    for data in SAMPLES:
        encoded = moxxml.base64_encode(data)
        assert encoded == base64.encodebytes(data).replace(b"\n", b"\r\n")
        assert moxxml.base64_decode(encoded) == data
        assert moxxml.base64_decode(base64.b64encode(data)) == data


def test_quoted_printable_round_trips_and_keeps_lines_short():
    for data in SAMPLES:
        encoded = moxxml.quoted_printable_encode(data)
        assert all(len(line) <= 76 for line in encoded.split(b"\r\n"))
        assert all(32 <= c < 127 or c in b"\t\r\n" for c in encoded)
        assert moxxml.quoted_printable_decode(encoded) == data
        assert binascii.a2b_qp(encoded) == data
        assert moxxml.quoted_printable_decode(binascii.b2a_qp(data, istext=False)) == data


@pytest.mark.parametrize("decode,encoded,decoded", [
    (moxxml.base64_decode, b"Zm9v\r\nYmFy", b"foobar"),
    (moxxml.base64_decode, b" Zm 9v YmE*=junk", b"fooba" + base64.b64decode(b"junk")),
    (moxxml.base64_decode, b"Zm9vYg", b"foob"),
    (moxxml.base64_decode, b"Zm9vY", b"foo"),
    (moxxml.base64_decode, b"", b""),
    (moxxml.quoted_printable_decode, b"caf=C3=a9", b"caf\xc3\xa9"),
    (moxxml.quoted_printable_decode, b"soft=\r\nbreak= \t\nend=", b"softbreakend"),
    (moxxml.quoted_printable_decode, b"blanks \t\r\nkept\nLF", b"blanks\r\nkept\nLF"),
    (moxxml.quoted_printable_decode, b"=ZZ and =4", b"=ZZ and =4"),
])
def test_decoders_are_lenient(decode, encoded, decoded):
    assert decode(encoded) == decoded


def test_codecs_take_bytes_like_objects_only():
    for codec in (moxxml.base64_encode, moxxml.base64_decode, moxxml.quoted_printable_encode,
                  moxxml.quoted_printable_decode):
        assert codec(bytearray(b"abc")) == codec(memoryview(b"abc")) == codec(b"abc")
        assert isinstance(codec(b"abc"), bytes)
        with pytest.raises(TypeError, match="data must be a bytes-like object, not str"):
            codec("abc")
