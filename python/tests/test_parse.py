"""parse_message and Parser against the C++ parser: the same tree and MDN fields for every
test message, at every chunk size and through every kind of input."""
import copy
import gc
import io
import pickle
import re

import pytest

import moxxml
from conftest import CHUNK_SIZES, capture_shape, expected_capture


class ShortReads(io.RawIOBase):
    """A binary file that returns at most a few bytes per read, as a socket may."""

    def __init__(self, data, most):
        self.data, self.at, self.most = data, 0, most

    def readable(self):
        return True

    def read(self, size=-1):
        end = self.at + min(self.most, size if size >= 0 else self.most)
        piece, self.at = self.data[self.at:end], min(end, len(self.data))
        return piece


def pieces(data, size):
    size = size or max(len(data), 1)
    return [data[at:at + size] for at in range(0, len(data), size)]


@pytest.mark.parametrize("chunk", CHUNK_SIZES, ids=lambda c: f"chunk-{c or 'whole'}")
def test_every_message_gives_the_cpp_tree_and_mdn_fields(message_path, chunk):
    expected = expected_capture(message_path)
    data = message_path.read_bytes()
    size = chunk or len(data)
    with open(message_path, "rb") as f:
        from_file = moxxml.parse_message(f, chunk_size=size)
    parser = moxxml.Parser()
    for piece in pieces(data, chunk):
        parser.feed(piece)
    captures = {
        "bytes": moxxml.parse_message(data, chunk_size=size),
        "bytearray": moxxml.parse_message(bytearray(data), size),
        "memoryview": moxxml.parse_message(memoryview(data), chunk_size=size),
        "str": moxxml.parse_message(data.decode("utf-8", "surrogateescape"), chunk_size=size),
        "file": from_file,
        "short reads": moxxml.parse_message(ShortReads(data, chunk or 4096), chunk_size=size),
        "Parser.feed": parser.close(),
    }
    for kind, capture in captures.items():
        assert capture_shape(capture) == expected, kind


def test_messages_with_and_without_mdn_are_told_apart():
    mdn = moxxml.parse_message(
        b"Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n"
        b"\r\n--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
        b"--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
        b"Final-Recipient: rfc822; us\r\nDisposition: automatic-action/MDN-sent-automatically;"
        b" processed\r\n\r\n--b--\r\n")
    assert mdn.is_mdn
    assert mdn.mdn_fields == [("Final-Recipient", "rfc822; us"),
                              ("Disposition",
                               "automatic-action/MDN-sent-automatically; processed")]
    assert [c.content_type for c in mdn.tree.children] == [
        "text/plain", "message/disposition-notification"]
    assert mdn.tree.params == {"report-type": "disposition-notification", "boundary": "b"}
    plain = moxxml.parse_message(b"Subject: hi\r\n\r\nbody\r\n")
    assert not plain.is_mdn and plain.mdn_fields == []
    assert plain.tree == moxxml.Part([("Subject", "hi")])
    empty = moxxml.parse_message(b"")
    assert empty.tree == moxxml.Part() and not empty.is_mdn


def test_part_fields_decode_as_utf8_and_keep_other_bytes():
    capture = moxxml.parse_message(
        b"Subject: caf\xc3\xa9 \xe9t\xe9\r\n"
        b"Content-Type: Text/Plain; Charset=\"utf-8\"; charset=latin1; NAME*=utf-8''%C3%A9.txt\r\n"
        b"Content-Disposition: attachment; filename=a.edi\r\n"
        b"Content-Disposition: inline; filename=b.edi\r\n\r\n")
    tree = capture.tree
    assert tree.headers[0] == ("Subject", "caf\u00e9 \udce9t\udce9")
    assert tree.headers[0][1].encode("utf-8", "surrogateescape") == b"caf\xc3\xa9 \xe9t\xe9"
    assert tree.content_type == "text/plain"
    assert tree.headers[1] == ("Content-Type", "Text/Plain")
    assert tree.params == {"charset": "utf-8", "name": "\u00e9.txt"}
    assert tree.disposition_params == {"filename": "a.edi"}


def test_parts_are_plain_data():
    capture = moxxml.parse_message(
        b"Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\nA: 1\r\n\r\na\r\n--x--\r\n")
    tree = capture.tree
    for twin in (copy.deepcopy(tree), pickle.loads(pickle.dumps(tree))):
        assert twin == tree and twin is not tree
        twin.children[0].headers.append(("B", "2"))
        assert twin != tree
    assert repr(tree) == "Part('multipart/mixed', 1 headers, 1 children)"
    assert capture.tree is tree  # built once


def test_capture_repr_holds_the_tree_repr_as_it_is():
    # A repr with a lone surrogate has no UTF-8; building the text as std::string raised
    # RuntimeError.
    class Lone(str):
        def __repr__(self):
            return "\ud800"

    plain = moxxml.parse_message(b"A: 1\r\n\r\n")
    mdn = moxxml.parse_message(b"Content-Type: message/disposition-notification\r\n\r\n"
                               b"Disposition: manual-action/MDN-sent-manually; displayed\r\n")
    assert repr(plain) == "<moxxml.Capture Part('text/plain', 1 headers, 0 children)>"
    assert repr(mdn) == ("<moxxml.Capture Part('message/disposition-notification', 1 headers, "
                         "0 children), MDN with 1 fields>")
    plain.tree.content_type = mdn.tree.content_type = Lone("text/plain")
    assert repr(plain) == "<moxxml.Capture Part(\ud800, 1 headers, 0 children)>"
    assert repr(mdn) == "<moxxml.Capture Part(\ud800, 1 headers, 0 children), MDN with 1 fields>"


class RecordedReads(ShortReads):
    """A binary file that keeps the size of every read asked of it."""

    def __init__(self, data):
        super().__init__(data, len(data))
        self.asked = []

    def read(self, size=-1):
        self.asked.append(size)
        return super().read(size)


def test_a_huge_chunk_size_reads_a_file_in_pieces(tmp_path):
    # io's read(n) allocates n bytes before it reads: read(2**40) raised MemoryError. Reads
    # are capped at 1 MiB; the parser still gives the same capture.
    data = (b"Content-Type: multipart/report; report-type=disposition-notification; boundary=b"
            b"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n" + b"x" * (3 << 20) +
            b"\r\n--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
            b"Disposition: automatic-action/MDN-sent-automatically; processed\r\n--b--\r\n")
    expected = capture_shape(moxxml.parse_message(data))
    assert expected["is_mdn"]
    path = tmp_path / "large.eml"
    path.write_bytes(data)
    for buffering in (-1, 0):
        with open(path, "rb", buffering=buffering) as f:
            assert capture_shape(moxxml.parse_message(f, chunk_size=2**40)) == expected, buffering
    for chunk_size, asked in ((2**40, 1 << 20), ((1 << 20) + 1, 1 << 20), (1000, 1000)):
        reads = RecordedReads(data)
        assert capture_shape(moxxml.parse_message(reads, chunk_size=chunk_size)) == expected
        assert set(reads.asked) == {asked}, chunk_size


def test_capture_outlives_parser_and_input():
    data = bytearray(b"Content-Type: message/disposition-notification\r\n\r\n"
                     b"Disposition: manual-action/MDN-sent-manually; displayed\r\n")
    parser = moxxml.Parser()
    parser.feed(data)
    capture = parser.close()
    del parser
    data[:] = b"x" * len(data)
    gc.collect()
    builder = moxxml.Builder()
    builder.set_msginfo_mime(capture)
    assert 'v="manual-action/MDN-sent-manually; displayed"' in builder.serialize()


def test_parser_after_close_and_wrong_input():
    parser = moxxml.Parser()
    parser.feed("Subject: x\r\n")
    first = parser.close()
    assert parser.close() is first
    with pytest.raises(moxxml.Error) as finished:
        parser.feed(b"more")
    assert (finished.value.code, finished.value.where) == (-2, "MIMEMessageParser::Update")
    assert finished.value.text
    rows = [
        (lambda: moxxml.parse_message(12), TypeError, "data must be bytes, str or a binary file"),
        (lambda: moxxml.parse_message(io.StringIO("Subject: x\r\n")), TypeError,
         "the result of data.read() must be a bytes-like object, not str"),
        (lambda: moxxml.parse_message(b"x", chunk_size=0), ValueError, "chunk_size"),
        (lambda: moxxml.Parser().feed(None), TypeError, "data must be str or a bytes-like"),
        (lambda: moxxml.Parser().feed("\ud800"), UnicodeEncodeError, "surrogates"),
    ]
    for call, error, text in rows:
        with pytest.raises(error, match=re.escape(text)):
            call()
