// Builder: MoxMsgBuilder for Python, with the GIL released while it serialises and encodes.
#include <cctype>
#include <deque>
#include <memory>
#include <string>

#include <moxxml/builder/builder.h>
#include <moxxml/xml/platform.h>

#include "bindings.h"
#include "capture.h"
#include "conversions.h"
#include "errors.h"
#include "object_lock.h"

namespace py = pybind11;

namespace moxxml_python {

namespace {

using MoxXML::MoxMsg::MOXFILTER_TYPES;

class Builder {
 public:
  Builder() = default;
  explicit Builder(const MoxMsgBuilder& source) : builder(source) {}

  ObjectLock lock;
  MoxMsgBuilder builder;
};

// The XML platform, held from the first serialize until the interpreter exits, so that no
// serialize pays for starting and stopping it and serialize calls on several threads share
// one initialisation. Touched with the GIL held only.
MoxXML::MoxXMLPlatformGuard* platform = nullptr;
bool platformReleased = false;

void ReleasePlatform() {
  // A serialize still running on a daemon thread holds an initialisation of its own, so the
  // platform goes down only after it.
  delete platform;
  platform = nullptr;
  platformReleased = true;
}

void HoldPlatform() {
  if (platform != nullptr || platformReleased) return;
  platform = new MoxXML::MoxXMLPlatformGuard();
  py::module_::import("atexit").attr("register")(py::cpp_function(&ReleasePlatform));
}

// A header chain built from a Part's headers, for AddTransportProtocol; it owns its records
// and their texts.
class HeaderChain {
 public:
  explicit HeaderChain(py::handle part) {
    head = {};
    py::list headers = part.attr("headers");
    py::object fieldParams = part.attr("_field_params");
    const bool withParams = !fieldParams.is_none() && py::len(fieldParams) == headers.size();
    mime_header_context* last = &head;
    for (std::size_t i = 0; i < headers.size(); ++i) {
      py::object header = headers[i];
      last->next = Record(header);
      last = last->next;
      if (!withParams) continue;
      py::object params = fieldParams[py::int_(i)];
      mime_header_context** parameter = &last->parms;
      for (py::handle pair : params) {
        *parameter = Record(pair);
        parameter = &(*parameter)->next;
      }
    }
  }
  HeaderChain(const HeaderChain&) = delete;
  HeaderChain& operator=(const HeaderChain&) = delete;

  mime_header_context* Head() { return &head; }

 private:
  // A record from a (name, value) pair.
  mime_header_context* Record(py::handle pair) {
    if (!(PyTuple_Check(pair.ptr()) || PyList_Check(pair.ptr())) || py::len(pair) != 2) {
      throw py::type_error("a header or parameter must be a (name, value) pair");
    }
    std::string& nameText = texts.emplace_back(Text(pair[py::int_(0)], "a header name"));
    std::string& valueText = texts.emplace_back(Text(pair[py::int_(1)], "a header value"));
    mime_header_context& record = records.emplace_back();
    record = {nullptr,
              static_cast<unsigned int>(nameText.size()),
              static_cast<unsigned int>(valueText.size()),
              &nameText[0],
              &valueText[0],
              nullptr};
    return &record;
  }

  mime_header_context head;
  std::deque<mime_header_context> records;
  std::deque<std::string> texts;
};

MOXFILTER_TYPES Encoding(py::handle encoding) {
  std::string name = Text(encoding, "encoding");
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static constexpr struct {
    const char* name;
    MOXFILTER_TYPES type;
  } kEncodings[] = {
      {"none", MoxXML::MoxMsg::MOXFILTER_NONE},
      {"7bit", MoxXML::MoxMsg::MOXFILTER_7BIT},
      {"8bit", MoxXML::MoxMsg::MOXFILTER_8BIT},
      {"binary", MoxXML::MoxMsg::MOXFILTER_BINARY},
      {"quoted-printable", MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE},
      {"base64", MoxXML::MoxMsg::MOXFILTER_BASE64},
  };
  for (const auto& known : kEncodings) {
    if (name == known.name) return known.type;
  }
  // As a str: a repr may hold lone surrogates, which have no UTF-8 for a std::string.
  const py::str message(
      "encoding must be one of none, 7bit, 8bit, binary, quoted-printable, base64, not {!r}");
  PyErr_SetObject(PyExc_ValueError, message.format(encoding).ptr());
  throw py::error_already_set();
}

using Setter = void (MoxMsgBuilder::*)(const std::string&);

struct ValueSetter {
  const char* name;
  Setter set;
  const char* element;
};

constexpr ValueSetter kValueSetters[] = {
    {"set_applinfo_name", &MoxMsgBuilder::SetApplInfoName, "applinfo/name"},
    {"set_applinfo_version", &MoxMsgBuilder::SetApplInfoVersion, "applinfo/version"},
    {"set_applinfo_instance", &MoxMsgBuilder::SetApplInfoInstance, "applinfo/instance"},
    {"set_applinfo_msgid", &MoxMsgBuilder::SetApplInfoMsgId, "applinfo/msgid"},
    {"set_applinfo_type", &MoxMsgBuilder::SetApplInfoType, "applinfo/type"},
    {"set_applinfo_timestamp", &MoxMsgBuilder::SetApplInfoTimestamp, "applinfo/timestamp"},
    {"set_applinfo_status", &MoxMsgBuilder::SetApplInfoStatus, "applinfo/status"},
    {"set_applinfo_status_code", &MoxMsgBuilder::SetApplInfoStatusCode, "applinfo/statuscode"},
    {"set_applinfo_status_text", &MoxMsgBuilder::SetApplInfoStatusText, "applinfo/statustext"},
    {"set_transport_origin", &MoxMsgBuilder::SetTransportOrigin, "transport/origin"},
    {"set_transport_destination", &MoxMsgBuilder::SetTransportDestination, "transport/destination"},
    {"set_msginfo_type", &MoxMsgBuilder::SetMsgInfoType, "msginfo/type"},
    {"set_msginfo_direction", &MoxMsgBuilder::SetMsgInfoDirection, "msginfo/direction"},
    {"set_msginfo_user_ref_id", &MoxMsgBuilder::SetMsgInfoUserRefID, "msginfo/userrefid"},
    {"set_msginfo_original_filename", &MoxMsgBuilder::SetMsgInfoOriginalFilename,
     "msginfo/originalfilename"},
    {"set_msginfo_as1_to", &MoxMsgBuilder::SetMsgInfoAS1To, "msginfo/as1to"},
    {"set_msginfo_as1_from", &MoxMsgBuilder::SetMsgInfoAS1From, "msginfo/as1from"},
    {"set_data_location_type", &MoxMsgBuilder::SetDataLocationType, "msginfo/datalocation/type"},
    {"set_data_location_host", &MoxMsgBuilder::SetDataLocationHost, "msginfo/datalocation/host"},
    {"set_data_location_location", &MoxMsgBuilder::SetDataLocationLocation,
     "msginfo/datalocation/location"},
};

std::unique_ptr<Builder> Copy(Builder& self) {
  LockedWithoutGil locked(self.lock);
  return std::make_unique<Builder>(self.builder);
}

}  // namespace

void BindBuilder(py::module_& module) {
  py::class_<Builder> builder(module, "Builder", R"(Builder()
--

Fills one message document ("moxmsg") section by section and serialises it.

Each setter creates its section and element on first use and replaces the value on later
calls; children stand in the order of the first calls. Values are str and are written as
UTF-8. A refused value or header raises Error; what was set before stays. copy.copy and
copy.deepcopy give independent copies. A builder may be used from several threads; calls on
one builder then run one at a time.)");
  builder.def(py::init<>(),
              "__init__(self)\n--\n\nAn empty document: the root moxmsg with its version.");
  for (const ValueSetter& setter : kValueSetters) {
    const Setter set = setter.set;
    builder.def(
        setter.name,
        [set](Builder& self, py::handle value) {
          const std::string text = Text(value, "value");
          LockedWithGil locked(self.lock);
          (self.builder.*set)(text);
        },
        py::arg("value"),
        (std::string(setter.name) + "(self, value)\n--\n\nSets " + setter.element +
         " to value (str); a later call replaces it.")
            .c_str());
  }
  builder.def(
      "add_transport_protocol",
      [](Builder& self, py::handle name, py::handle version, py::handle headers,
         py::handle context) {
        const std::string nameText = Text(name, "name"), versionText = Text(version, "version");
        InputBytes headerText(headers, Accept::kBytesOrText, "headers");
        std::unique_ptr<HeaderChain> chain;
        if (!context.is_none()) {
          if (!py::isinstance(context, Types().part)) {
            throw py::type_error(std::string("context must be a Part or None, not ") +
                                 Py_TYPE(context.ptr())->tp_name);
          }
          chain = std::make_unique<HeaderChain>(context);
        }
        LockedWithoutGil locked(self.lock);
        self.builder.AddTransportProtocol(nameText, versionText, headerText.String(),
                                          chain ? chain->Head() : nullptr);
      },
      py::arg("name"), py::arg("version"), py::arg("headers") = "", py::arg("context") = py::none(),
      R"(add_transport_protocol(self, name, version, headers='', context=None)
--

Sets transport/transprotocol's name and version and adds the header fields of headers
(RFC 822 header text as str or bytes, up to the first empty line) under its headers, then
those of context (a Part, for instance capture.tree: its header fields with their
parameters as parsed). A second call replaces name and version and adds further headers.
Header text that does not parse raises Error with the parser's negative code and a text
starting "MIMEParse failed."; a header name that is no tag name raises Error code 14.)");
  builder.def(
      "add_security_protocol",
      [](Builder& self, py::handle name, py::handle version, py::handle headers) {
        const std::string nameText = Text(name, "name"), versionText = Text(version, "version");
        InputBytes headerText(headers, Accept::kBytesOrText, "headers");
        LockedWithoutGil locked(self.lock);
        self.builder.AddTransportSecurityProtocol(nameText, versionText, headerText.String(),
                                                  nullptr);
      },
      py::arg("name"), py::arg("version"), py::arg("headers") = "",
      R"(add_security_protocol(self, name, version, headers='')
--

Adds one more transport/security/secprotocol with its name, version and the header fields
of headers (str or bytes), as add_transport_protocol does.)");
  builder.def(
      "set_msginfo_mime",
      [](Builder& self, Capture& capture) {
        // With the GIL held: walking the captured tree moves its cursors, and the GIL keeps
        // every reader of a capture to one at a time.
        LockedWithGil locked(self.lock);
        self.builder.SetMsgInfoMime(capture.MutableTarget());
      },
      py::arg("capture"), R"(set_msginfo_mime(self, capture)
--

Adds one msginfo/mime/mimepart holding the MIME tree of capture (a Capture), with the MDN
fields after the headers of the disposition-notification part. Each call adds a part.)");
  builder.def(
      "set_payload",
      [](Builder& self, py::handle data, py::handle encoding) {
        InputBytes input(data, Accept::kBytesOrText, "data");
        const MOXFILTER_TYPES type = Encoding(encoding);
        LockedWithoutGil locked(self.lock);
        self.builder.SetPayload(input.String(), type);
      },
      py::arg("data"), py::arg("encoding") = "base64",
      R"(set_payload(self, data, encoding='base64')
--

Stores data (bytes, or str encoded as UTF-8) as the payload, encoded with encoding: "none",
"7bit", "8bit" or "binary" keep it as it is, as text (serialize writes it altered where XML
cannot carry it), "quoted-printable" and "base64" encode it (lines of 76 characters ended
by CRLF). The element's filter attribute names the encoding. A later call replaces data
and encoding. The GIL is released while the payload is encoded.)");
  builder.def(
      "serialize",
      [](Builder& self, bool pretty) {
        HoldPlatform();
        std::string xml, diagnostics;
        {
          LockedWithoutGil locked(self.lock);
          self.builder.Serialize(xml, diagnostics, pretty);
        }
        WarnDiagnostics(diagnostics);
        return Decode(xml.data(), xml.size());
      },
      py::arg("pretty") = false, R"(serialize(self, pretty=False)
--

Returns the message document as XML text (str; its declaration says UTF-8), indented when
pretty is true. The GIL is released while the document is written, so threads serialising
their own builders run in parallel. Text XML cannot carry as given is written altered
(bytes that are not valid UTF-8 and characters XML 1.0 forbids become U+FFFD, a NUL byte
ends the value), and each altered value is reported as a SerializerWarning naming its
element, as are the serializer's other diagnostics (an element it had to leave out). A
failure of the serializer raises Error and gives no text. The XML platform is started by the
first call and held until the interpreter exits.)");
  builder.def("__copy__", &Copy, R"(__copy__(self)
--

An independent deep copy.)");
  builder.def(
      "__deepcopy__", [](Builder& self, py::handle) { return Copy(self); }, py::arg("memo"),
      R"(__deepcopy__(self, memo)
--

An independent deep copy.)");
}

}  // namespace moxxml_python
