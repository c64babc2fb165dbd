// Fuzz target: MIMEMessageParser over an arbitrary message fed in chunk sizes taken from the
// input, into an MDNAndPayloadMIMEOutputTarget. The tree and the MDN fields must equal those
// of a one-shot feed, and the tree must go through the builder (SetMsgInfoMime, Serialize)
// to XML or a MoxException.
#include <cstddef>
#include <cstdint>
#include <string>

#include <moxxml/moxxml.h>

#include "fuzz_support.h"

using moxxml_fuzz::FieldDump;
using moxxml_fuzz::FuzzChunks;
using moxxml_fuzz::FuzzTreeDump;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Held for the whole run, so that each Serialize only nests inside it.
  static const MoxXML::MoxXMLPlatformGuard platform;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzChunks chunks(data, size);
  const char* text = reinterpret_cast<const char*>(data);

  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget whole(logger);
  {
    MIMEMessageParser parser(whole);
    FUZZ_CHECK(parser.Update(text, static_cast<int>(size)) == MIME_PARSER_OK);
    FUZZ_CHECK(parser.Final() == MIME_PARSER_OK);
    FUZZ_CHECK(parser.Update(text, static_cast<int>(size)) == MIME_PARSER_ERR_FINISHED);
    FUZZ_CHECK(parser.Final() == MIME_PARSER_ERR_FINISHED);
  }
  MDNAndPayloadMIMEOutputTarget pieces(logger);
  {
    MIMEMessageParser parser(pieces);
    chunks.Feed(text, size, [&](const char* piece, size_t length) {
      FUZZ_CHECK(parser.Update(piece, static_cast<int>(length)) == MIME_PARSER_OK);
    });
    FUZZ_CHECK(parser.Final() == MIME_PARSER_OK);
  }
  FUZZ_CHECK(whole.GetRootNode() != nullptr);
  FUZZ_CHECK(whole.GetMDNPayload().GetMIMEHEADERCTX() != nullptr);
  FUZZ_CHECK(FuzzTreeDump(whole.GetRootNode()) == FuzzTreeDump(pieces.GetRootNode()));
  FUZZ_CHECK(FieldDump(whole.GetMDNPayload()) == FieldDump(pieces.GetMDNPayload()));

  MoxMsgBuilder builder;
  try {
    builder.SetMsgInfoMime(&pieces);
    std::string xml, diagnostics;
    builder.Serialize(xml, diagnostics, false);
    FUZZ_CHECK(xml.compare(0, 5, "<?xml") == 0);
  } catch (const MoxException& e) {
    FUZZ_CHECK(!e.GetText().empty());
  }
  return 0;
}
