#!/usr/bin/env python3
# Dumps the MIME tree that Python's email package builds for a message, in the format of
# DumpTree in mime_test_util.h, as the reference for the corpus comparison.
#
# Normalisations, each a deliberate difference of our parser:
# - Header values are unfolded and trailing blanks are trimmed (Python keeps the folds and
#   trailing blanks of the raw text).
# - Parameter names are compared in lower case (Python lower-cases them; we keep them as
#   written), and segments without '=' are dropped (Python keeps them with an empty value).
# - message/disposition-notification, message/delivery-status, message/partial and the
#   message/global-* report types are leaves: their bodies are fields or fragments, not
#   messages (RFC 8098 3.1, RFC 3464 2.1, RFC 2046 5.2.2), and the MDN capture needs the
#   notification's body as the body of its own entity. Python parses every message/* body
#   as a nested message, so its children there are dropped.
import email
import email.message
import email.utils
import re
import sys
from email import policy as _policy

LEAF_MESSAGE_TYPES = {
    "message/disposition-notification",
    "message/delivery-status",
    "message/partial",
    "message/global-headers",
    "message/global-delivery-status",
    "message/global-disposition-notification",
}


def unfold(value):
    return re.sub(r"\r\n|\r|\n", "", value).rstrip(" \t\r")


def params_of(value):
    # Python's own splitting (Message._get_params_preserve) applied to one field value.
    plist = email.message._parseparam(value)
    params = []
    for p in plist:
        if "=" not in p:
            params.append((p.strip(), None))
            continue
        name, val = p.split("=", 1)
        params.append((name.strip(), val.strip()))
    kept = [params[0]] + [(n, v) for n, v in params[1:] if v is not None]
    decoded = email.utils.decode_params(kept)
    out = []
    for name, val in decoded[1:]:
        out.append((name.lower(), email.utils.collapse_rfc2231_value(val)))
    return out


def dump(msg, depth, lines):
    ctype = msg.get_content_type()
    lines.append("entity %d %s" % (depth, ctype))
    for name, value in msg._headers:
        value = unfold(value)
        if name.lower() in ("content-type", "content-disposition"):
            main = value.partition(";")[0].strip()
            lines.append("header %s: %s" % (name, main))
            if ";" in value:
                for pname, pvalue in params_of(value):
                    lines.append("param %s=%s" % (pname, pvalue))
        else:
            lines.append("header %s: %s" % (name, value))
    if ctype in LEAF_MESSAGE_TYPES:
        return
    if msg.is_multipart():
        for part in msg.get_payload():
            dump(part, depth + 1, lines)


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    msg = email.message_from_bytes(data, policy=_policy.compat32)
    lines = []
    dump(msg, 0, lines)
    out = "\n".join(lines) + "\n"
    sys.stdout.buffer.write(out.encode("ascii", "surrogateescape"))


if __name__ == "__main__":
    main()
