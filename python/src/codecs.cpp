// base64_encode, base64_decode, quoted_printable_encode, quoted_printable_decode: the
// library's streaming filters, one call from bytes to bytes without the GIL.
#include <climits>
#include <string>

#include <moxxml/external/exception.h>
#include <moxxml/external/tools.h>

#include "bindings.h"
#include "conversions.h"

namespace py = pybind11;

namespace moxxml_python {

namespace {

int Append(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<std::size_t>(length));
  return MOXSTREAM_OK;
}

void Check(int result, const char* where) {
  if (result < 0) {
    throw MoxException(result, where,
                       "The stream process failed with result " + std::to_string(result) + ".");
  }
}

template <typename Filter>
py::bytes Code(py::handle data, const char* where, std::size_t reserve(std::size_t)) {
  InputBytes input(data, Accept::kBytes, "data");
  std::string out;
  {
    py::gil_scoped_release released;
    out.reserve(reserve(input.Size()));
    Filter filter;
    filter.SetOutput(&Append, &out);
    for (std::size_t at = 0; at < input.Size(); at += INT_MAX) {
      const std::size_t length = input.Size() - at < INT_MAX ? input.Size() - at : INT_MAX;
      Check(filter.Update(input.Data() + at, static_cast<int>(length)), where);
    }
    Check(filter.Final(), where);
  }
  return py::bytes(out.data(), out.size());
}

// 4 characters per 3 bytes and a CRLF per line of 76.
std::size_t Base64Size(std::size_t size) {
  const std::size_t characters = (size + 2) / 3 * 4;
  return characters + (characters / 76 + 1) * 2;
}
std::size_t SameSize(std::size_t size) { return size; }

}  // namespace

void BindCodecs(py::module_& module) {
  module.def(
      "base64_encode",
      [](py::handle data) {
        return Code<MoxFilterBase64>(data, "MoxFilterBase64::Update", Base64Size);
      },
      py::arg("data"), R"(base64_encode(data)
--

Encodes bytes as base64 (RFC 2045 6.8): lines of 76 characters, each ended by CRLF, the
last one included; b"" gives b"". Takes any bytes-like object; releases the GIL.)");
  module.def(
      "base64_decode",
      [](py::handle data) {
        return Code<MoxUnfilterBase64>(data, "MoxUnfilterBase64::Update", SameSize);
      },
      py::arg("data"), R"(base64_decode(data)
--

Decodes base64 leniently and never fails: characters outside the alphabet (line breaks,
blanks, junk) are skipped, "=" ends a group, missing padding is supplied and a lone
trailing character is dropped. Takes any bytes-like object; releases the GIL.)");
  module.def(
      "quoted_printable_encode",
      [](py::handle data) {
        return Code<MoxFilterQuotedPrintable>(data, "MoxFilterQuotedPrintable::Update", SameSize);
      },
      py::arg("data"), R"(quoted_printable_encode(data)
--

Encodes bytes as quoted-printable (RFC 2045 6.7): every byte but printable ASCII as "=XX",
CRLF kept as a line break while a lone CR or LF is encoded, a blank before a line break
or at the end encoded, soft line breaks keeping lines within 76 characters. Takes any
bytes-like object; releases the GIL.)");
  module.def(
      "quoted_printable_decode",
      [](py::handle data) {
        return Code<MoxUnfilterQuotedPrintable>(data, "MoxUnfilterQuotedPrintable::Update",
                                                SameSize);
      },
      py::arg("data"), R"(quoted_printable_decode(data)
--

Decodes quoted-printable leniently and never fails: "=XX" in either case gives the byte,
"=" before a line break (or at the end) is a soft break, blanks before a line break are
dropped, line breaks come out as they came in, and any other "=" passes through. Takes any
bytes-like object; releases the GIL.)");
}

}  // namespace moxxml_python
