// Capture, Parser and parse_message: the streaming MIME parser run into the MDN capture
// target, with the GIL released while it parses.
#include "capture.h"

#include <cctype>
#include <climits>
#include <cstddef>
#include <string>
#include <utility>

#include <moxxml/external/exception.h>
#include <moxxml/external/mime_parser.h>

#include "conversions.h"
#include "errors.h"
#include "object_lock.h"

namespace py = pybind11;

namespace moxxml_python {

namespace {

const char* ResultText(int result) {
  switch (result) {
    case MIME_PARSER_ERR_INVALID_ARGUMENT:
      return "Invalid argument.";
    case MIME_PARSER_ERR_FINISHED:
      return "The parser has finished; a new message needs a new parser.";
    case MIME_PARSER_ERR_BROKEN:
      return "An earlier call failed; the parse cannot go on.";
    default:
      return "The parser failed.";
  }
}

// The most parse_message asks of a file's read() at once.
constexpr Py_ssize_t kMostPerRead = 1 << 20;

// Turns a negative result of the parser into moxxml.Error.
void Check(int result, const char* where) {
  if (result < 0) throw MoxException(result, where, ResultText(result));
}

// Feeds size bytes in pieces of at most piece bytes; stops at the first failure.
int FeedAll(MIMEMessageParser& parser, const char* data, std::size_t size, std::size_t piece) {
  for (std::size_t at = 0; at < size; at += piece) {
    const std::size_t length = size - at < piece ? size - at : piece;
    const int result = parser.Update(data + at, static_cast<int>(length));
    if (result < 0) return result;
  }
  return MIME_PARSER_OK;
}

py::str Field(const char* text, unsigned int length) {
  return text != nullptr ? Decode(text, length) : Decode("", 0);
}

bool NameIs(const mime_header_context* header, const char* name) {
  if (header->name == nullptr) return false;
  const std::string lower(name);
  if (header->nameLength != lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(header->name[i])) != lower[i]) return false;
  }
  return true;
}

py::str LowerName(const mime_header_context* parameter) {
  std::string name(parameter->name != nullptr ? parameter->name : "",
                   parameter->name != nullptr ? parameter->nameLength : 0);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Decode(name.data(), name.size());
}

// One Part per node, children in order. The tree is at most as deep as the parser's nesting
// limit, so recursion is bounded.
py::object BuildPart(MimeTreeNode* node, const py::object& makePart) {
  const MIMEEntityDescription* description = node->GetMIMEEntityDescription();
  py::list headers, fieldParams;
  py::dict params, dispositionParams;
  bool typeSeen = false, dispositionSeen = false;
  for (const mime_header_context* h = description->GetMIMEHEADERCTX()->next; h; h = h->next) {
    headers.append(py::make_tuple(Field(h->name, h->nameLength), Field(h->value, h->valueLength)));
    py::dict* first = nullptr;
    if (!typeSeen && NameIs(h, "content-type")) {
      typeSeen = true;
      first = &params;
    } else if (!dispositionSeen && NameIs(h, "content-disposition")) {
      dispositionSeen = true;
      first = &dispositionParams;
    }
    py::list own;
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      py::str value = Field(p->value, p->valueLength);
      own.append(py::make_tuple(Field(p->name, p->nameLength), value));
      if (first != nullptr) {
        py::str name = LowerName(p);
        if (!first->contains(name)) (*first)[name] = value;
      }
    }
    fieldParams.append(py::tuple(own));
  }
  py::list children;
  for (MimeTreeNode* child = node->GetFirstChildNode(); child; child = node->GetNextChildNode()) {
    children.append(BuildPart(child, makePart));
  }
  const std::string type = description->GetContentType();
  return makePart(headers, Decode(type.data(), type.size()), params, dispositionParams, children,
                  fieldParams);
}

// The incremental parser behind moxxml.Parser.
class Parser {
 public:
  Parser()
      : state(std::make_shared<CaptureState>()),
        parser(std::make_unique<MIMEMessageParser>(state->target)) {}

  void Feed(py::handle data) {
    InputBytes input(data, Accept::kBytesOrText, "data");
    int result;
    {
      LockedWithoutGil locked(lock);
      result = FeedAll(*parser, input.Data(), input.Size(), INT_MAX);
    }
    Check(result, "MIMEMessageParser::Update");
  }

  py::object Close() {
    LockedWithGil locked(lock);
    if (!capture) {
      Check(parser->Final(), "MIMEMessageParser::Final");
      capture = py::cast(Capture(state));
    }
    return capture;
  }

 private:
  ObjectLock lock;
  std::shared_ptr<CaptureState> state;
  std::unique_ptr<MIMEMessageParser> parser;
  py::object capture;
};

py::object ParseMessage(py::handle data, Py_ssize_t chunkSize) {
  if (chunkSize < 1) throw py::value_error("chunk_size must be at least 1");
  const std::size_t piece = chunkSize > INT_MAX ? INT_MAX : static_cast<std::size_t>(chunkSize);
  auto state = std::make_shared<CaptureState>();
  {
    MIMEMessageParser parser(state->target);
    if (PyUnicode_Check(data.ptr()) || PyObject_CheckBuffer(data.ptr())) {
      InputBytes input(data, Accept::kBytesOrText, "data");
      py::gil_scoped_release released;
      Check(FeedAll(parser, input.Data(), input.Size(), piece), "MIMEMessageParser::Update");
      Check(parser.Final(), "MIMEMessageParser::Final");
    } else if (py::hasattr(data, "read")) {
      // io's read(n) allocates n bytes before it reads, so a huge chunk_size is read in
      // pieces of at most kMostPerRead; the parser does not see the difference.
      const Py_ssize_t readSize = chunkSize < kMostPerRead ? chunkSize : kMostPerRead;
      py::object read = data.attr("read");
      for (;;) {
        py::object chunk = read(readSize);
        InputBytes input(chunk, Accept::kBytes, "the result of data.read()");
        if (input.Size() == 0) break;
        py::gil_scoped_release released;
        Check(FeedAll(parser, input.Data(), input.Size(), piece), "MIMEMessageParser::Update");
      }
      py::gil_scoped_release released;
      Check(parser.Final(), "MIMEMessageParser::Final");
    } else {
      throw py::type_error(std::string("data must be bytes, str or a binary file, not ") +
                           Py_TYPE(data.ptr())->tp_name);
    }
  }
  return py::cast(Capture(std::move(state)));
}

}  // namespace

Capture::Capture(std::shared_ptr<CaptureState> captured) : state(std::move(captured)) {
  MimeTreeNode* root = state->target.GetRootNode();
  py::object makePart = py::reinterpret_borrow<py::object>(Types().part).attr("_parsed");
  tree = root != nullptr ? BuildPart(root, makePart)
                         : py::reinterpret_borrow<py::object>(Types().part)();
  const MIMEEntityDescription& mdn = state->target.GetMDNPayload();
  for (const mime_header_context* h = mdn.GetMIMEHEADERCTX()->next; h; h = h->next) {
    mdnFields.append(
        py::make_tuple(Field(h->name, h->nameLength), Field(h->value, h->valueLength)));
  }
  isMdn = mdn.IsFinalized() != 0;
}

void BindCapture(py::module_& module) {
  py::class_<Capture>(module, "Capture", R"(A received message parsed by the capture target.

Made by parse_message and Parser.close, never directly. It owns the target's MIME tree and
MDN fields for Builder.set_msginfo_mime; tree, mdn_fields and is_mdn are plain Python data
built from them once. A capture may be shared by threads.)")
      .def_readonly("tree", &Capture::tree, "The root Part of the message's MIME tree.")
      .def_readonly("mdn_fields", &Capture::mdnFields,
                    "The fields of the first message/disposition-notification part, as (name, "
                    "value) pairs in order (Final-Recipient, Disposition, ...); empty without "
                    "one.")
      .def_readonly("is_mdn", &Capture::isMdn,
                    "Whether a message/disposition-notification part was captured.")
      .def("__repr__", [](const Capture& capture) {
        // As a str: the tree's repr may hold lone surrogates, which have no UTF-8.
        if (!capture.isMdn) return py::str("<moxxml.Capture {}>").format(py::repr(capture.tree));
        return py::str("<moxxml.Capture {}, MDN with {} fields>")
            .format(py::repr(capture.tree), capture.mdnFields.size());
      });

  py::class_<Parser>(module, "Parser", R"(Parser()
--

The incremental form of parse_message, for input that arrives in pieces (a socket):
feed() the bytes in any pieces, then close() returns the Capture. Any chunking gives the
same result. Malformed mail never fails the parse; memory stays bounded by the open
parts' header blocks plus one piece.)")
      .def(py::init<>(), "__init__(self)\n--\n\nA parser for one message.")
      .def("feed", &Parser::Feed, py::arg("data"), R"(feed(self, data)
--

Parses the next bytes of the message (bytes-like, or str encoded as UTF-8) without holding
the GIL. After close() it raises Error with code -2.)")
      .def("close", &Parser::Close, R"(close(self)
--

Ends the message and returns its Capture; later calls return the same Capture.)");

  module.def("parse_message", &ParseMessage, py::arg("data"), py::arg("chunk_size") = 65536,
             R"(parse_message(data, chunk_size=65536)
--

Parses a received message into the capture target and returns its Capture.

data is bytes (or any bytes-like object), str (encoded as UTF-8, lone surrogates from
"surrogateescape" decoding back to their bytes), or a binary file-like object, which is
read with read(n) until it returns b"", n being chunk_size but at most 1 MiB. The parser
takes chunk_size bytes per call; any chunk size gives the same result. The GIL is released
while bytes are parsed.

Every byte sequence parses: malformed mail is read as Python's email package reads it,
nesting stops at 64 levels, and header blocks, fields and parameters have fixed limits.
Raises TypeError for other types of data, ValueError for a chunk_size below 1.)");
}

}  // namespace moxxml_python
