// MixedMessage, MdnMessage: the two messages of the MIME benchmarks, the same bytes in every
// run.
#include "mime_messages.h"

#include <cstddef>
#include <cstdint>

#include "random.h"

namespace bench {

namespace {

constexpr size_t kMixedSize = size_t{50} << 20;
constexpr int kMixedParts = 200;
constexpr size_t kMdnSize = size_t{5} << 20;

// Base64-looking body lines (76 characters and CRLF) up to size bytes.
void AppendBody(std::string& out, size_t size, uint64_t seed) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t end = out.size() + size;
  uint64_t state = seed;
  while (out.size() + 78 <= end) {
    for (int i = 0; i < 76; ++i) out += kAlphabet[NextRandom(state) >> 58];
    out += "\r\n";
  }
}

}  // namespace

const std::string& MixedMessage() {
  static const std::string message = [] {
    static constexpr char kBoundary[] = "----=_Part_200_1733440538.bench";
    std::string text =
        "Message-ID: <mixed.1733440538@as2.partner.example.net>\r\n"
        "Date: Sat, 05 Dec 2026 23:15:38 GMT\r\n"
        "From: sender@as2.partner.example.net\r\n"
        "Subject: Batch of 200 documents\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"";
    text += kBoundary;
    text += "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n";
    text.reserve(kMixedSize + 4096);
    const size_t partSize = (kMixedSize - text.size()) / kMixedParts - 256;
    for (int part = 0; part < kMixedParts; ++part) {
      text += "\r\n--";
      text += kBoundary;
      text += "\r\nContent-Type: application/edi-x12; name=\"doc" + std::to_string(part) +
              ".edi\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: "
              "attachment; filename=\"doc" +
              std::to_string(part) + ".edi\"\r\nContent-ID: <part" + std::to_string(part) +
              "@as2.partner.example.net>\r\n\r\n";
      AppendBody(text, partSize, 0x9e3779b97f4a7c15u + static_cast<uint64_t>(part));
    }
    text += "\r\n--";
    text += kBoundary;
    text += "--\r\n";
    return text;
  }();
  return message;
}

// A signed-receipt MDN returning the original message: notice, disposition, original.
const std::string& MdnMessage() {
  static const std::string message = [] {
    std::string text =
        "Message-ID: <mdn.1733440537@as2.partner.example.net>\r\n"
        "Date: Sat, 05 Dec 2026 23:15:37 GMT\r\n"
        "From: mdn@as2.partner.example.net\r\n"
        "Subject: Message Disposition Notification\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/report; report-type=disposition-notification;\r\n"
        " boundary=\"----=_Part_4_1733440537\"\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: text/plain; charset=us-ascii\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n"
        "The message sent to PARTNER0042 has been received.\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: message/disposition-notification\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n"
        "Reporting-UA: ExampleAS2/3.1\r\n"
        "Original-Recipient: rfc822; PARTNER0042\r\n"
        "Final-Recipient: rfc822; PARTNER0042\r\n"
        "Original-Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
        "Disposition: automatic-action/MDN-sent-automatically; processed\r\n"
        "Received-Content-MIC: 7v7F++fQaNJSqLa2nTAQxBJ7Ws0yQFKrWsd1gTNsiWE=, sha-256\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: application/edi-x12\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n";
    AppendBody(text, kMdnSize - text.size() - 40, 0x2545f4914f6cdd1du);
    text += "\r\n------=_Part_4_1733440537--\r\n";
    return text;
  }();
  return message;
}

}  // namespace bench
