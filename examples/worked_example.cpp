// Records one received AS2 MDN as a message document and prints it.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <moxxml/moxxml.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: worked_example MESSAGE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream message;
  message << in.rdbuf();
  const std::string bytes = message.str();

  try {
    // Parse the received message; the target keeps its MIME tree and MDN fields.
    LoggerInterface logger;
    MDNAndPayloadMIMEOutputTarget target(logger);
    MIMEMessageParser parser(target);
    for (size_t at = 0; at < bytes.size(); at += 4096) {  // any chunking gives the same result
      const size_t n = bytes.size() - at < 4096 ? bytes.size() - at : 4096;
      if (parser.Update(bytes.data() + at, static_cast<int>(n)) < 0) return 1;
    }
    if (parser.Final() < 0) return 1;

    // Fill the document section by section; each setter may be called again to replace.
    MoxMsgBuilder builder;
    builder.SetApplInfoName("example-gateway");
    builder.SetApplInfoStatus("ok");
    builder.SetTransportOrigin("https://partner.example/as2");
    builder.AddTransportProtocol("AS2", "1.2", "AS2-From: partner\r\nAS2-To: us\r\n", nullptr);
    builder.SetMsgInfoDirection("received");
    builder.SetMsgInfoMime(&target);
    builder.SetPayload("UNB+UNOA:1+PARTNER+US'", MoxXML::MoxMsg::MOXFILTER_BASE64);

    std::string xml, diagnostics;
    builder.Serialize(xml, diagnostics, true);
    std::printf("%s\n", xml.c_str());
    return diagnostics.empty() ? 0 : 1;
  } catch (const MoxException& e) {
    std::fprintf(stderr, "error %d in %s: %s\n", e.GetResultCode(), e.GetWhere().c_str(),
                 e.GetText().c_str());
    return 1;
  }
}
