"""Error, SerializerWarning and Part: the plain Python types of moxxml, which the compiled core
creates and raises."""

__all__ = ["Error", "SerializerWarning", "Part"]


class Error(Exception):
    """A failure of the library, with what the C++ side said about it.

    code   the result code: a moxxml code (9 out of memory, 14 invalid tag name, ...), a DOM
           or XML code of the serializer, or a negative code of the MIME layer (for instance
           the negated error of the RFC 822 header parser, or -2 for a parser that has
           finished).
    where  the operation that failed, as "Class::Operation"; empty when the library gave none.
    text   what went wrong, never empty.

    str(error) gives the text with the operation and the code.
    """

    def __init__(self, code, where, text):
        super().__init__(code, where, text)
        self.code = code
        self.where = where
        self.text = text

    def __str__(self):
        if self.where:
            return f"{self.where}: {self.text} (code {self.code})"
        return f"{self.text} (code {self.code})"


class SerializerWarning(UserWarning):
    """A diagnostic of Builder.serialize, which still wrote the document: a value written
    altered because XML cannot carry it as given (bytes that are not valid UTF-8, a NUL byte),
    or another error or warning of the serializer (for instance an element it had to leave
    out). The message starts with the severity ("Error Message:", "Warning Message:")."""


class Part:
    """One MIME entity of a parsed message: plain Python data, built once by the parser.

    headers             the header fields as (name, value) pairs, in order. Values are
                        unfolded. The value of a Content-Type or Content-Disposition field
                        holds the type or disposition alone; its parameters are in params and
                        disposition_params.
    content_type        the effective type, lower-case "type/subtype": that of the first
                        Content-Type field, "text/plain" without a usable one (or
                        "message/rfc822" inside a multipart/digest).
    params              the parameters of the first Content-Type field: a dict with lower-case
                        names (RFC 2231 sections and encodings already joined and decoded); the
                        first of two equal names wins.
    disposition_params  the same for the first Content-Disposition field.
    children            the parts of a multipart or the message of a message/rfc822, in order.

    Names and values are the message's bytes decoded as UTF-8; bytes that are not UTF-8 become
    lone surrogates ("surrogateescape"), so value.encode("utf-8", "surrogateescape") gives the
    original bytes back. Parts compare equal when all five attributes are equal.
    """

    __slots__ = ("headers", "content_type", "params", "disposition_params", "children",
                 "_field_params")

    def __init__(self, headers=None, content_type="text/plain", params=None,
                 disposition_params=None, children=None):
        self.headers = list(headers) if headers is not None else []
        self.content_type = content_type
        self.params = dict(params) if params is not None else {}
        self.disposition_params = dict(disposition_params) if disposition_params is not None else {}
        self.children = list(children) if children is not None else []
        # Per header field, its parameters as parsed (name as written, in order); used when
        # the part is handed to Builder.add_transport_protocol as context.
        self._field_params = None

    @classmethod
    def _parsed(cls, headers, content_type, params, disposition_params, children, field_params):
        part = cls.__new__(cls)
        part.headers = headers
        part.content_type = content_type
        part.params = params
        part.disposition_params = disposition_params
        part.children = children
        part._field_params = field_params
        return part

    def __eq__(self, other):
        if not isinstance(other, Part):
            return NotImplemented
        return (self.headers == other.headers and self.content_type == other.content_type
                and self.params == other.params
                and self.disposition_params == other.disposition_params
                and self.children == other.children)

    __hash__ = None  # type: ignore[assignment]  # mutable, so unhashable

    def __repr__(self):
        return (f"Part({self.content_type!r}, {len(self.headers)} headers, "
                f"{len(self.children)} children)")

    def __getstate__(self):
        return {name: getattr(self, name) for name in self.__slots__}

    def __setstate__(self, state):
        for name, value in state.items():
            setattr(self, name, value)
