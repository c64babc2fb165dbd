// The documents, captures and platform signs of the concurrency suites.
#include "concurrency/workload.h"

#include <algorithm>
#include <filesystem>
#include <random>

#include "external/mime/mime_test_util.h"
#include "support/chunking.h"
#include "support/serialize.h"

namespace moxxml_concurrency {

namespace {

using MoxXML::MoxMsg::MOXFILTER_BASE64;
using MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE;

std::string Path(const std::string& name) { return MOXXML_TEST_DATA "/messages/" + name; }

// Feeds message to target through a parser; a failing call is reported in the text returned.
std::string Feed(MIMEOutputTarget& target, const std::string& message, size_t feedSize) {
  MIMEMessageParser parser(target);
  std::string failures;
  moxxml_test::FeedInPieces(message, feedSize, [&](const char* data, size_t length) {
    if (parser.Update(data, static_cast<int>(length)) != 0) failures += "update failed\n";
  });
  if (parser.Final() != 0) failures += "final failed\n";
  return failures;
}

std::string Describe(const MDNAndPayloadMIMEOutputTarget& target) {
  const MIMEEntityDescription& mdn = target.GetMDNPayload();
  return moxxml_test::DumpTree(target.GetRootNode()) +
         "fields:" + moxxml_test::Flatten(mdn.GetMIMEHEADERCTX()) +
         (mdn.IsFinalized() ? " finalized" : " open");
}

}  // namespace

CapturedMdns::CapturedMdns(size_t feedSize) {
  for (const std::string& name : MdnNames()) {
    targets.push_back(std::make_unique<MDNAndPayloadMIMEOutputTarget>(logger));
    const std::string failures = Feed(*targets.back(), ReadFile(Path(name)), feedSize);
    if (!failures.empty()) throw std::runtime_error(name + ": " + failures);
  }
}

CapturedMdns::~CapturedMdns() = default;

MDNAndPayloadMIMEOutputTarget* CapturedMdns::For(int id) const {
  return targets[static_cast<size_t>(id) % targets.size()].get();
}

std::string PayloadOf(int id) {
  std::mt19937 random(static_cast<unsigned>(id) * 2654435761u + 1);
  const size_t length = 64 + static_cast<size_t>(id) * 131 % 1900;
  std::string bytes(length, '\0');
  if (id % 2 != 0) {
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
  }
  // Mostly text with lines longer than 76 bytes, so that the encoder has literal runs, soft
  // breaks and blanks before line ends to deal with, and some bytes it must encode.
  static const char kCommon[] = "EDIFACT UNB+UNOA:1+PARTNER+US' ";
  static const char kRare[] = "\t=\r\n\xE4\xF6\x01";
  for (char& c : bytes) {
    const unsigned r = static_cast<unsigned>(random() % 100);
    c = r < 7 ? kRare[r] : kCommon[r % (sizeof(kCommon) - 1)];
  }
  return bytes;
}

void FillDocument(MoxMsgBuilder& builder, int id, const CapturedMdns& mdns) {
  const std::string n = std::to_string(id);
  const bool wide = id % 3 == 0;
  builder.SetApplInfoName(wide ? "Gateway Z\xC3\xBCrich \xC3\x86\xC3\x98\xC3\x85 " + n
                               : "gateway-" + n);
  builder.SetApplInfoVersion("2." + std::to_string(id % 7));
  builder.SetApplInfoInstance("node-" + std::to_string(id % 5));
  builder.SetApplInfoMsgId("<" + n + "@gw.example>");
  builder.SetApplInfoType(id % 2 != 0 ? "receipt" : "message");
  builder.SetApplInfoTimestamp("2026-12-06T04:" + std::to_string(10 + id % 50) + ":00Z");
  builder.SetApplInfoStatus(id % 4 != 0 ? "ok" : "failed");
  builder.SetApplInfoStatusCode(std::to_string(id % 500));
  builder.SetApplInfoStatusText("status <&\"'> ]]> " + n);
  builder.SetTransportOrigin("https://partner" + n + ".example/as2");
  builder.SetTransportDestination("https://gw.example/inbound/" + n);
  builder.AddTransportProtocol("AS2", "1.2",
                               "AS2-From: partner-" + n + "\r\nAS2-To: gateway\r\nMessage-ID: <" +
                                   n +
                                   "@partner.example>\r\nContent-Type: application/pkcs7-mime; "
                                   "smime-type=enveloped-data; name=\"smime.p7m\"\r\n",
                               nullptr);
  builder.AddTransportSecurityProtocol(
      "S/MIME", "3.2",
      "Content-Type: application/pkcs7-signature; name=smime.p7s\r\nContent-Transfer-Encoding: "
      "base64\r\n",
      nullptr);
  if (id % 2 != 0) {
    builder.AddTransportSecurityProtocol("TLS", "1.3", "X-Cipher: TLS_AES_128_GCM_SHA256\r\n",
                                         nullptr);
  }
  builder.SetMsgInfoType("EDIFACT");
  builder.SetMsgInfoDirection(id % 2 != 0 ? "received" : "sent");
  builder.SetMsgInfoUserRefID("ref-" + n);
  builder.SetMsgInfoOriginalFilename(wide ? "lieferschein-\xC3\xA4-" + n + ".edi"
                                          : "order-" + n + ".edi");
  builder.SetMsgInfoAS1To("as1-to-" + n);
  builder.SetMsgInfoAS1From("as1-from-" + n);
  builder.SetDataLocationType("file");
  builder.SetDataLocationHost("gw" + std::to_string(id % 3) + ".example");
  builder.SetDataLocationLocation("/var/spool/as2/" + n + ".edi");
  builder.SetMsgInfoMime(mdns.For(id));
  builder.SetPayload(PayloadOf(id), id % 2 != 0 ? MOXFILTER_BASE64 : MOXFILTER_QUOTED_PRINTABLE);
}

std::string DocumentText(int id, const CapturedMdns& mdns) {
  std::string xml, diagnostics;
  try {
    MoxMsgBuilder builder;
    FillDocument(builder, id, mdns);
    builder.Serialize(xml, diagnostics, id / 2 % 2 != 0);
  } catch (const MoxException& e) {
    return xml + "\nexception " + std::to_string(e.GetResultCode()) + " " + e.GetWhere() + ": " +
           e.GetText();
  }
  return diagnostics.empty() ? xml : xml + "\ndiagnostics: " + diagnostics;
}

std::vector<std::string> ReferenceTexts(int count) {
  const CapturedMdns mdns(0);
  const MoxXML::MoxXMLPlatformGuard platform;
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(count));
  for (int id = 0; id < count; ++id) texts.push_back(DocumentText(id, mdns));
  return texts;
}

std::string Differences(const std::vector<std::string>& got,
                        const std::vector<std::string>& expected) {
  std::string ids, first;
  for (size_t id = 0; id < expected.size(); ++id) {
    if (id < got.size() && got[id] == expected[id]) continue;
    ids += " " + std::to_string(id);
    if (first.empty()) {
      first = "\nfirst, document " + std::to_string(id) + ":\n" +
              (id < got.size() ? got[id] : std::string("(missing)")) + "\nexpected:\n" +
              expected[id];
    }
  }
  return ids.empty() ? "" : "documents that differ:" + ids + first;
}

std::string SerializeOutcome(MoxXML::MoxXMLObject& root, bool prettyPrint) {
  std::string diagnostics;
  try {
    const std::string xml = moxxml_test::SerializeToString(root, prettyPrint, &diagnostics);
    return diagnostics.empty() ? xml : xml + "\ndiagnostics: " + diagnostics;
  } catch (const MoxException& e) {
    return "exception " + std::to_string(e.GetResultCode()) + " " + e.GetWhere() + ": " +
           e.GetText();
  }
}

std::string Capture(const std::string& message, size_t feedSize) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  const std::string failures = Feed(target, message, feedSize);
  const MDNAndPayloadMIMEOutputTarget copy(target);
  return failures + Describe(target) + "\ncopy:\n" + Describe(copy);
}

std::string ReadFile(const std::string& path) { return moxxml_test::ReadFile(path); }

const std::vector<std::string>& MessageNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(Path(""))) {
      if (entry.path().extension() == ".eml") found.push_back(entry.path().filename());
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return names;
}

const std::vector<std::string>& MdnNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> mdns;
    for (const std::string& name : MessageNames()) {
      if (name.compare(0, 8, "as2-mdn-") == 0) mdns.push_back(name);
    }
    return mdns;
  }();
  return names;
}

}  // namespace moxxml_concurrency
