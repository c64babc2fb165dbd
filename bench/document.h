// RepresentativeDocument, XmlNode: the content of an AS2 receipt's message document, filled
// into the builder, and the same document as a plain tree for the peers to build.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <moxxml/moxxml.h>

#include "random.h"

namespace bench {

// Everything the host hands to the builder for one receipt. The MDN is parsed once when the
// document is made, as a gateway has it parsed before it records the message.
class RepresentativeDocument {
 public:
  explicit RepresentativeDocument(size_t payloadSize);
  RepresentativeDocument(const RepresentativeDocument&) = delete;
  RepresentativeDocument& operator=(const RepresentativeDocument&) = delete;
  ~RepresentativeDocument();

  void Fill(MoxMsgBuilder& builder);
  // A new builder, filled and serialised without indentation: the measured unit of work.
  std::string FillAndSerialize();
  const std::string& Payload() const { return payload; }

 private:
  std::string payload;
  LoggerInterface logger;
  std::unique_ptr<MDNAndPayloadMIMEOutputTarget> mdn;
};

// One element: its attributes, its text and its child elements, all as UTF-8.
struct XmlNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<XmlNode> children;
};

// The builder's document as a tree, read back from its XML text with Xerces' parser.
XmlNode ParseTree(const std::string& xml);

// The builder's XML text of a document filled from a fresh RepresentativeDocument.
std::string BuilderXml(size_t payloadSize);

// The element whose name is "payload", searched depth first; null when there is none.
XmlNode* FindPayload(XmlNode& node);

// Appends the document's base64 text (as the builder's payload element stores it) to out.
void EncodeBase64(const std::string& bytes, std::string& out);

}  // namespace bench
