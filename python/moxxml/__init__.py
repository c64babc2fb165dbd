"""moxxml: message documents for B2B messaging gateways, a hardened streaming MIME parser
and the MIME transfer-encoding codecs.

Record a message: fill a Builder (applinfo, transport, msginfo and payload values, transport
and security protocols with their RFC 822 headers, the MIME tree of a received message) and
serialize() it to XML text. Parse a received message: parse_message(bytes or binary file) or,
piece by piece, Parser().feed(...) then close(); both give a Capture with the message's MIME
tree as Part objects and the fields of its message disposition notification (MDN). Any
bytes parse, in time and memory linear in their size: every received message is treated as
hostile. Codecs: base64_encode, base64_decode, quoted_printable_encode and
quoted_printable_decode, bytes to bytes.

Text: str arguments are encoded as UTF-8, and text from messages is decoded as UTF-8 with
"surrogateescape", so bytes that are not UTF-8 survive a round trip.

Failures raise Error (code, where, text); an exhausted allocator raises MemoryError;
wrong argument types raise TypeError, bad argument values ValueError. Diagnostics of the
serializer are issued as SerializerWarning.

Threads: parsing, serialising and coding run without the GIL, so threads working on their
own objects run in parallel; calls on one Builder or Parser from several threads run one at
a time. The XML platform is started by the first serialize and held until the interpreter
exits.
"""

from ._types import Error, Part, SerializerWarning
from ._core import (
    Builder,
    Capture,
    Parser,
    __version__,
    base64_decode,
    base64_encode,
    parse_message,
    quoted_printable_decode,
    quoted_printable_encode,
)

__all__ = [
    "Builder",
    "Capture",
    "Error",
    "Parser",
    "Part",
    "SerializerWarning",
    "base64_decode",
    "base64_encode",
    "parse_message",
    "quoted_printable_decode",
    "quoted_printable_encode",
]

for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
