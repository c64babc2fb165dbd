"""Builder: the values set come back out of the XML (read with xml.etree), input as str and
bytes, errors with code, where and text, independent copies."""
import base64
import binascii
import copy
import pickle
import re
import warnings
import xml.etree.ElementTree as ET

import pytest

import moxxml

SETTERS = {
    "set_applinfo_name": "applinfo/name",
    "set_applinfo_version": "applinfo/version",
    "set_applinfo_instance": "applinfo/instance",
    "set_applinfo_msgid": "applinfo/msgid",
    "set_applinfo_type": "applinfo/type",
    "set_applinfo_timestamp": "applinfo/timestamp",
    "set_applinfo_status": "applinfo/status",
    "set_applinfo_status_code": "applinfo/statuscode",
    "set_applinfo_status_text": "applinfo/statustext",
    "set_transport_origin": "transport/origin",
    "set_transport_destination": "transport/destination",
    "set_msginfo_type": "msginfo/type",
    "set_msginfo_direction": "msginfo/direction",
    "set_msginfo_user_ref_id": "msginfo/userrefid",
    "set_msginfo_original_filename": "msginfo/originalfilename",
    "set_msginfo_as1_to": "msginfo/as1to",
    "set_msginfo_as1_from": "msginfo/as1from",
    "set_data_location_type": "msginfo/datalocation/type",
    "set_data_location_host": "msginfo/datalocation/host",
    "set_data_location_location": "msginfo/datalocation/location",
}

MDN = (b"Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n\r\n"
       b"--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n"
       b"--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
       b"Final-Recipient: rfc822; us\r\nDisposition: manual-action/MDN-sent-manually; displayed"
       b"\r\n\r\n--b--\r\n")


def value_of(root, path):
    return root.find(path).get("v")


def headers_of(element):
    """(tag, value, {param: value}) per child of element's headers."""
    return [(h.tag, h.get("v"), {p.tag: p.get("v") for p in h.iterfind("parms/*")})
            for h in element.find("headers")]


def test_every_setter_writes_its_element_and_replaces_on_a_second_call():
    builder = moxxml.Builder()
    for i, name in enumerate(SETTERS):
        getattr(builder, name)(f"first {i}")
    for i, name in enumerate(SETTERS):
        getattr(builder, name)(f"{name} <&\"'> caf\u00e9 \U0001f600 {i}")
    for pretty in (False, True):
        root = ET.fromstring(builder.serialize(pretty=pretty))
        assert root.tag == "moxmsg" and value_of(root, "version") == "1.0"
        assert [section.tag for section in root] == ["version", "applinfo", "transport",
                                                     "msginfo"]
        for i, (name, path) in enumerate(SETTERS.items()):
            assert value_of(root, path) == f"{name} <&\"'> caf\u00e9 \U0001f600 {i}", name
            assert len(root.findall(path)) == 1


def test_protocols_take_header_text_as_str_or_bytes_and_a_part_as_context():
    tree = moxxml.parse_message(
        b"AS2-From: partner\r\nContent-Type: application/pkcs7-mime; smime-type=enveloped-data;"
        b" name=smime.p7m\r\nContent-Disposition: attachment; filename=\"smime.p7m\"\r\n\r\n").tree
    builder = moxxml.Builder()
    builder.add_transport_protocol("HTTP", "1.0", "Host: a.example\r\n")
    builder.add_transport_protocol("AS2", "1.2", b"AS2-To: us\r\nX-Caf: caf\xc3\xa9\r\n",
                                   context=tree)
    builder.add_security_protocol("S/MIME", "3.2", "Content-Type: application/pkcs7-signature;"
                                  " name=smime.p7s\r\n")
    builder.add_security_protocol("TLS", "1.3", headers=b"")
    builder.add_security_protocol(name="none", version="0")
    root = ET.fromstring(builder.serialize())
    protocol = root.find("transport/transprotocol")
    assert (value_of(protocol, "name"), value_of(protocol, "version")) == ("AS2", "1.2")
    assert headers_of(protocol) == [
        ("host", "a.example", {}), ("as2-to", "us", {}), ("x-caf", "caf\u00e9", {}),
        ("as2-from", "partner", {}),
        ("content-type", "application/pkcs7-mime",
         {"smime-type": "enveloped-data", "name": "smime.p7m"}),
        ("content-disposition", "attachment", {"filename": "smime.p7m"})]
    secprotocols = root.findall("transport/security/secprotocol")
    assert [value_of(s, "name") for s in secprotocols] == ["S/MIME", "TLS", "none"]
    assert headers_of(secprotocols[0]) == [
        ("content-type", "application/pkcs7-signature", {"name": "smime.p7s"})]
    handmade = moxxml.Part([("X-Made", "by hand"), ["X-List", "pair"]])
    builder.add_transport_protocol("AS2", "1.2", context=handmade)
    assert headers_of(ET.fromstring(builder.serialize()).find("transport/transprotocol"))[-2:] == [
        ("x-made", "by hand", {}), ("x-list", "pair", {})]


def test_mime_of_a_capture_with_its_mdn_fields():
    builder = moxxml.Builder()
    capture = moxxml.parse_message(MDN)
    builder.set_msginfo_mime(capture)
    builder.set_msginfo_mime(capture)
    parts = ET.fromstring(builder.serialize()).findall("msginfo/mime/mimepart")
    assert len(parts) == 2
    notification = parts[0].findall("mimepart")[1]
    assert headers_of(notification) == [
        ("content-type", "message/disposition-notification", {}),
        ("final-recipient", "rfc822; us", {}),
        ("disposition", "manual-action/MDN-sent-manually; displayed", {})]


DATA = b"UNB+UNOA:1+PARTNER+US'\r\n\xc3\xa9 =\t end \r\n" * 5


@pytest.mark.parametrize("encoding,decode,attribute", [
    ("base64", base64.b64decode, "base64"),
    ("quoted-printable", binascii.a2b_qp, "quoted-printable"),
    ("none", bytes, None),
    ("7bit", bytes, "7bit"),
    ("8bit", bytes, "8bit"),
    ("binary", bytes, "binary"),
    ("Base64", base64.b64decode, "base64"),
])
def test_payload_in_each_encoding(encoding, decode, attribute):
    for data in (DATA, DATA.decode(), bytearray(DATA), memoryview(DATA)):
        builder = moxxml.Builder()
        builder.set_payload(b"replaced", "none")
        builder.set_payload(data, encoding)
        payload = ET.fromstring(builder.serialize()).find("payload")
        assert payload.get("filter") == attribute
        assert decode(payload.text.encode()) == DATA
    default = moxxml.Builder()
    default.set_payload(DATA)
    assert ET.fromstring(default.serialize()).find("payload").get("filter") == "base64"


def test_errors_carry_code_where_and_text():
    rows = [
        (lambda b: b.add_transport_protocol("AS2", "1.2", "no colon here\r\n"),
         -3, "", "MIMEParse failed.\nline 1: not a header field"),
        (lambda b: b.add_security_protocol("S", "1", b"1bad: x\r\n"),
         14, "MoxXMLElement::AppendElement", "Invalid tag name."),
    ]
    for call, code, where, text in rows:
        builder = moxxml.Builder()
        with pytest.raises(moxxml.Error) as raised:
            call(builder)
        error = raised.value
        assert (error.code, error.where) == (code, where)
        assert error.text.startswith(text), error.text
        assert isinstance(error, Exception)
        assert str(error) == (f"{where}: " if where else "") + f"{error.text} (code {code})"
        again = pickle.loads(pickle.dumps(error))
        assert (again.code, again.where, again.text) == (code, where, error.text)
    # What was set before a failure stays.
    builder = moxxml.Builder()
    with pytest.raises(moxxml.Error):
        builder.add_transport_protocol("AS2", "1.2", "broken\r\n")
    assert value_of(ET.fromstring(builder.serialize()), "transport/transprotocol/name") == "AS2"


def test_arguments_of_the_wrong_kind():
    builder = moxxml.Builder()
    rows = [
        (lambda: builder.set_applinfo_name(b"bytes"), TypeError, "value must be str"),
        (lambda: builder.set_applinfo_name(None), TypeError, "value must be str"),
        (lambda: builder.set_payload(b"x", "base32"), ValueError, "encoding must be one of"),
        (lambda: builder.set_payload(3), TypeError, "data must be str or a bytes-like"),
        (lambda: builder.add_transport_protocol("a", "1", 7), TypeError, "headers must be"),
        (lambda: builder.add_transport_protocol("a", "1", context="x"), TypeError,
         "context must be a Part or None"),
        (lambda: builder.add_transport_protocol("a", "1", context=moxxml.Part(["x"])),
         TypeError, "(name, value) pair"),
        (lambda: builder.set_msginfo_mime(None), TypeError, "incompatible function arguments"),
        (lambda: builder.set_applinfo_name("\ud800"), UnicodeEncodeError, "surrogates"),
    ]
    for call, error, text in rows:
        with pytest.raises(error, match=re.escape(text)):
            call()


def test_refusal_quotes_a_repr_that_has_no_utf8():
    # The message quotes the encoding's repr, which may hold a lone surrogate: made into a
    # std::string, it gave RuntimeError instead of the ValueError.
    class Lone(str):
        def __repr__(self):
            return "\ud800"

    with pytest.raises(ValueError) as raised:
        moxxml.Builder().set_payload(b"x", Lone("bogus"))
    assert str(raised.value).endswith(", not \ud800")


def test_altered_text_is_written_with_one_warning_each():
    # Partners' bytes are recorded, never refused: "caf\udce9" is the surrogateescape form of
    # caf\xe9, which is not UTF-8 and becomes U+FFFD; a control character that XML forbids
    # becomes U+FFFD too (it used to make serialize raise); a NUL byte ends the payload's text.
    builder = moxxml.Builder()
    builder.set_applinfo_name("caf\udce9")
    builder.set_applinfo_status("bell \x07")
    builder.set_payload(b"a\x00b", "none")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        document = ET.fromstring(builder.serialize())
    assert value_of(document, "applinfo/name") == "caf\ufffd"
    assert value_of(document, "applinfo/status") == "bell \ufffd"
    assert document.find("payload").text == "a"
    assert [w.category for w in caught] == [moxxml.SerializerWarning] * 3
    messages = [str(w.message) for w in caught]
    assert "'name'" in messages[0] and "not valid" in messages[0]
    assert "'status'" in messages[1] and "XML 1.0 forbids" in messages[1]
    assert "'payload'" in messages[2] and "NUL" in messages[2]


def test_copies_are_independent():
    original = moxxml.Builder()
    original.set_applinfo_name("original")
    original.add_transport_protocol("AS2", "1.2", "AS2-From: a\r\n")
    original.set_payload(b"payload")
    for make in (copy.copy, copy.deepcopy):
        twin = make(original)
        assert type(twin) is moxxml.Builder and twin is not original
        assert twin.serialize() == original.serialize()
        twin.set_applinfo_name("twin")
        twin.add_transport_protocol("AS2", "1.2", "AS2-To: b\r\n")
        mine = ET.fromstring(original.serialize())
        theirs = ET.fromstring(twin.serialize())
        assert value_of(mine, "applinfo/name") == "original"
        assert value_of(theirs, "applinfo/name") == "twin"
        assert len(headers_of(mine.find("transport/transprotocol"))) == 1
        assert len(headers_of(theirs.find("transport/transprotocol"))) == 2
        original.set_msginfo_direction(make.__name__)
        assert make.__name__ not in twin.serialize()
