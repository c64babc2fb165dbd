// Fuzz target: MoxMsgBuilder driven by the input, read as a list of operations: one byte
// picks the operation, a length byte and that many bytes give its text. Setters take
// arbitrary bytes, the payload any encoding number, header texts any bytes; copies and
// Serialize come in between. Every call either succeeds or throws a MoxException with a
// text, and every text Serialize gives is well-formed XML that a parser reads back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

#include <moxxml/moxxml.h>

#include "fuzz_support.h"

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;
using MoxXML::MoxMsg::MOXFILTER_TYPES;

struct Reader {
  const uint8_t* data;
  size_t size;
  bool Empty() const { return size == 0; }
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  std::string Text() {
    size_t length = Byte();
    if (length == 255) length = 255 + 4u * Byte();  // now and then a longer one
    if (length > size) length = size;
    std::string text(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    return text;
  }
};

// Parses xml without validation; true when it is well-formed.
bool WellFormed(const std::string& xml) {
  xerces::XercesDOMParser parser;
  parser.setValidationScheme(xerces::XercesDOMParser::Val_Never);
  parser.setDoNamespaces(false);
  parser.setLoadExternalDTD(false);
  xerces::HandlerBase errors;
  parser.setErrorHandler(&errors);
  xerces::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                   "fuzz");
  try {
    parser.parse(source);
  } catch (...) {
    return false;
  }
  return parser.getErrorCount() == 0;
}

void Serialize(MoxMsgBuilder& builder, bool pretty) {
  std::string xml, diagnostics;
  try {
    builder.Serialize(xml, diagnostics, pretty);
  } catch (const MoxException& e) {
    FUZZ_CHECK(!e.GetText().empty());
    FUZZ_CHECK(xml.empty());
    return;
  }
  FUZZ_CHECK(WellFormed(xml));
}

void Apply(MoxMsgBuilder& builder, Reader& in, std::unique_ptr<MoxMsgBuilder>& copy) {
  using Setter = void (MoxMsgBuilder::*)(const std::string&);
  static constexpr Setter kSetters[] = {
      &MoxMsgBuilder::SetApplInfoName,
      &MoxMsgBuilder::SetApplInfoVersion,
      &MoxMsgBuilder::SetApplInfoInstance,
      &MoxMsgBuilder::SetApplInfoMsgId,
      &MoxMsgBuilder::SetApplInfoType,
      &MoxMsgBuilder::SetApplInfoTimestamp,
      &MoxMsgBuilder::SetApplInfoStatus,
      &MoxMsgBuilder::SetApplInfoStatusCode,
      &MoxMsgBuilder::SetApplInfoStatusText,
      &MoxMsgBuilder::SetTransportOrigin,
      &MoxMsgBuilder::SetTransportDestination,
      &MoxMsgBuilder::SetMsgInfoType,
      &MoxMsgBuilder::SetMsgInfoDirection,
      &MoxMsgBuilder::SetMsgInfoUserRefID,
      &MoxMsgBuilder::SetMsgInfoOriginalFilename,
      &MoxMsgBuilder::SetMsgInfoAS1To,
      &MoxMsgBuilder::SetMsgInfoAS1From,
      &MoxMsgBuilder::SetDataLocationType,
      &MoxMsgBuilder::SetDataLocationHost,
      &MoxMsgBuilder::SetDataLocationLocation,
  };
  constexpr size_t kSetterCount = sizeof(kSetters) / sizeof(kSetters[0]);
  const size_t op = in.Byte() % (kSetterCount + 6);
  if (op < kSetterCount) {
    (builder.*kSetters[op])(in.Text());
    return;
  }
  switch (op - kSetterCount) {
    case 0: {
      const int encoding = in.Byte() % 8;  // 6 and 7 are not encodings
      builder.SetPayload(in.Text(), static_cast<MOXFILTER_TYPES>(encoding));
      break;
    }
    case 1: {
      const std::string name = in.Text(), version = in.Text();
      builder.AddTransportProtocol(name, version, in.Text(), nullptr);
      break;
    }
    case 2: {
      const std::string name = in.Text(), version = in.Text();
      builder.AddTransportSecurityProtocol(name, version, in.Text(), nullptr);
      break;
    }
    case 3:
      copy = std::make_unique<MoxMsgBuilder>(builder);
      break;
    case 4:
      if (copy) builder = *copy;
      break;
    default:
      Serialize(builder, (in.Byte() & 1) != 0);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Held for the whole run, so that each Serialize only nests inside it.
  static const MoxXML::MoxXMLPlatformGuard platform;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  MoxMsgBuilder builder;
  std::unique_ptr<MoxMsgBuilder> copy;
  for (int ops = 0; !in.Empty() && ops < 64; ++ops) {
    try {
      Apply(builder, in, copy);
    } catch (const MoxException& e) {
      FUZZ_CHECK(!e.GetText().empty());
    }
  }
  Serialize(builder, false);
  if (copy) Serialize(*copy, true);
  return 0;
}
