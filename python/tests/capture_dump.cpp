// capture_dump: parses a message file with the C++ API into the MDN capture target and prints
// the MIME tree and the MDN fields as JSON, names and values as hex of their bytes, for the
// Python tests to compare with what the module gives.
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <moxxml/moxxml.h>

namespace {

std::string Hex(const char* text, std::size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; text != nullptr && i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out + "\"";
}

// [[name, value, [[name, value], ...]], ...]: every field with its parameters, in order.
std::string Fields(const mime_header_context* head) {
  std::string out = "[";
  for (const mime_header_context* h = head->next; h; h = h->next) {
    out += (h == head->next ? "[" : ", [") + Hex(h->name, h->nameLength) + ", " +
           Hex(h->value, h->valueLength) + ", [";
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      out += (p == h->parms ? "[" : ", [") + Hex(p->name, p->nameLength) + ", " +
             Hex(p->value, p->valueLength) + "]";
    }
    out += "]]";
  }
  return out + "]";
}

std::string Node(MimeTreeNode* node) {
  const MIMEEntityDescription* description = node->GetMIMEEntityDescription();
  const std::string type = description->GetContentType();
  std::string out = "{\"content_type\": " + Hex(type.data(), type.size()) +
                    ", \"fields\": " + Fields(description->GetMIMEHEADERCTX()) +
                    ", \"children\": [";
  for (MimeTreeNode* child = node->GetFirstChildNode(); child; child = node->GetNextChildNode()) {
    out += (out.back() == '[' ? "" : ", ") + Node(child);
  }
  return out + "]}";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: capture_dump MESSAGE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream message;
  message << in.rdbuf();
  const std::string bytes = message.str();

  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  MIMEMessageParser parser(target);
  if (parser.Update(bytes.data(), static_cast<int>(bytes.size())) != MIME_PARSER_OK ||
      parser.Final() != MIME_PARSER_OK) {
    std::fprintf(stderr, "capture_dump: the parser failed\n");
    return 1;
  }
  const MIMEEntityDescription& mdn = target.GetMDNPayload();
  std::printf("{\"tree\": %s, \"mdn_fields\": %s, \"is_mdn\": %s}\n",
              Node(target.GetRootNode()).c_str(), Fields(mdn.GetMIMEHEADERCTX()).c_str(),
              mdn.IsFinalized() ? "true" : "false");
  return 0;
}
