// Fuzz target: MIMEParse of arbitrary header text, then the headers as message elements
// (AppendHdrs) and the document as XML text (Serialize). Parsing gives a field count or a
// negative error with a description; building and writing give XML or a MoxException.
#include <cstddef>
#include <cstdint>
#include <string>

#include <moxxml/moxxml.h>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Held for the whole run, so that each Serialize only nests inside it.
  static const MoxXML::MoxXMLPlatformGuard platform;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const int length = static_cast<int>(size);
  mime_header_context* context = MIMEInit();
  mime_error_context* error = InitMIMEERRORCTX();
  FUZZ_CHECK(context != nullptr && error != nullptr);
  const int fields = MIMEParse(context, text, length, 0, error);
  if (fields < 0) {
    FUZZ_CHECK(context->next == nullptr);
    FUZZ_CHECK(error->errorNumber == -fields);
    FUZZ_CHECK(!MIMEERRORCTXFormatter().Format(error).empty());
  } else {
    int count = 0;
    for (mime_header_context* h = context->next; h != nullptr; h = h->next) ++count;
    FUZZ_CHECK(count == fields);
    MoxMsgBuilder builder;
    try {
      builder.AddTransportProtocolHeaders(context);
      std::string xml, diagnostics;
      builder.Serialize(xml, diagnostics, (size & 1) != 0);
      FUZZ_CHECK(xml.compare(0, 5, "<?xml") == 0);
    } catch (const MoxException& e) {
      FUZZ_CHECK(!e.GetText().empty());
    }
  }
  FreeMIMEERRORCTX(error);
  MIMEFree(context);
  return 0;
}
