// RepresentativeDocument, XmlNode: the content of an AS2 receipt's message document, filled
// into the builder, and the same document as a plain tree for the peers to build.
#include "document.h"

#include <stdexcept>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/XMLString.hpp>

namespace bench {

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;

constexpr const char* kApplInfo[][2] = {
    {"name", "AS2 Gateway"},
    {"version", "7.4.2"},
    {"instance", "gw-prod-eu-03"},
    {"msgid", "<20261205T231538.4f2a9c@gw-prod-eu-03.example.com>"},
    {"type", "receipt"},
    {"timestamp", "2026-12-05T23:15:38.412Z"},
    {"status", "success"},
    {"statuscode", "200"},
    {"statustext", "Message received and signature verified"},
};

// Thirteen fields as the HTTP layer saw them; two carry parameters.
constexpr char kTransportHeaders[] =
    "Host: as2.partner.example.net:4080\r\n"
    "User-Agent: ExampleAS2/3.1\r\n"
    "Date: Sat, 05 Dec 2026 23:15:38 GMT\r\n"
    "Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
    "AS2-Version: 1.2\r\n"
    "AS2-From: GATEWAYEU03\r\n"
    "AS2-To: PARTNER0042\r\n"
    "Subject: Receipt for order 4711-0815\r\n"
    "Disposition-Notification-To: mdn@gw-prod-eu-03.example.com\r\n"
    "Disposition-Notification-Options: signed-receipt-protocol=optional, pkcs7-signature; "
    "signed-receipt-micalg=optional, sha-256\r\n"
    "Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; "
    "micalg=sha-256; boundary=\"----=_Part_17_1181404816.1733440538\"\r\n"
    "Content-Length: 6234\r\n"
    "Connection: close\r\n"
    "\r\n";

constexpr char kSecurityHeaders[] =
    "Content-Type: application/pkcs7-signature; name=smime.p7s\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n";

constexpr const char* kMsgInfo[][2] = {
    {"type", "mdn"},
    {"direction", "received"},
    {"userrefid", "<20261205T231537.88e1@as2.partner.example.net>"},
    {"originalfilename", "ORDERS_4711-0815.edi"},
    {"AS1To", "PARTNER0042"},
    {"AS1From", "GATEWAYEU03"},
};

// A signed-receipt MDN (RFC 8098, RFC 4130): three parts of about six header fields each.
constexpr char kMdn[] =
    "Message-ID: <20261205T231537.88e1@as2.partner.example.net>\r\n"
    "Date: Sat, 05 Dec 2026 23:15:37 GMT\r\n"
    "From: mdn@as2.partner.example.net\r\n"
    "Subject: Message Disposition Notification\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/report; report-type=disposition-notification;\r\n"
    " boundary=\"----=_Part_4_1733440537\"\r\n"
    "\r\n"
    "------=_Part_4_1733440537\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "Content-Description: Human readable notice\r\n"
    "Content-ID: <notice.1733440537@as2.partner.example.net>\r\n"
    "Content-Disposition: inline\r\n"
    "Content-Language: en\r\n"
    "\r\n"
    "The message sent to PARTNER0042 has been received and its signature verified.\r\n"
    "\r\n"
    "------=_Part_4_1733440537\r\n"
    "Content-Type: message/disposition-notification\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "Content-Description: Disposition\r\n"
    "Content-ID: <mdn.1733440537@as2.partner.example.net>\r\n"
    "Content-Disposition: inline\r\n"
    "Content-Language: en\r\n"
    "\r\n"
    "Reporting-UA: ExampleAS2/3.1\r\n"
    "Original-Recipient: rfc822; PARTNER0042\r\n"
    "Final-Recipient: rfc822; PARTNER0042\r\n"
    "Original-Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
    "Disposition: automatic-action/MDN-sent-automatically; processed\r\n"
    "Received-Content-MIC: 7v7F++fQaNJSqLa2nTAQxBJ7Ws0yQFKrWsd1gTNsiWE=, sha-256\r\n"
    "\r\n"
    "------=_Part_4_1733440537\r\n"
    "Content-Type: text/rfc822-headers\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "Content-Description: Original headers\r\n"
    "Content-ID: <headers.1733440537@as2.partner.example.net>\r\n"
    "Content-Disposition: inline\r\n"
    "Content-Language: en\r\n"
    "\r\n"
    "AS2-From: GATEWAYEU03\r\n"
    "AS2-To: PARTNER0042\r\n"
    "\r\n"
    "------=_Part_4_1733440537--\r\n";

int AppendTo(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}

int FilterAppend(const char* data, int length, unsigned char*, void* context) {
  return AppendTo(data, length, context);
}

std::string Narrow(const XMLCh* text) {
  char* native = xerces::XMLString::transcode(text);
  std::string out(native);
  xerces::XMLString::release(&native);
  return out;
}

XmlNode ReadElement(const xerces::DOMElement& element) {
  XmlNode node;
  node.name = Narrow(element.getTagName());
  const xerces::DOMNamedNodeMap* attributes = element.getAttributes();
  for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
    const xerces::DOMNode* attribute = attributes->item(i);
    node.attributes.emplace_back(Narrow(attribute->getNodeName()),
                                 Narrow(attribute->getNodeValue()));
  }
  for (const xerces::DOMNode* child = element.getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == xerces::DOMNode::ELEMENT_NODE) {
      node.children.push_back(ReadElement(static_cast<const xerces::DOMElement&>(*child)));
    } else if (child->getNodeType() == xerces::DOMNode::TEXT_NODE) {
      node.text += Narrow(child->getNodeValue());
    }
  }
  return node;
}

}  // namespace

RepresentativeDocument::RepresentativeDocument(size_t payloadSize)
    : payload(RandomBytes(payloadSize, 0x9e3779b97f4a7c15u)),
      mdn(std::make_unique<MDNAndPayloadMIMEOutputTarget>(logger)) {
  MIMEMessageParser parser(*mdn);
  if (parser.Update(kMdn, static_cast<int>(sizeof kMdn - 1)) != MIME_PARSER_OK ||
      parser.Final() != MIME_PARSER_OK) {
    throw std::runtime_error("the MDN does not parse");
  }
}

RepresentativeDocument::~RepresentativeDocument() = default;

void RepresentativeDocument::Fill(MoxMsgBuilder& builder) {
  using Setter = void (MoxMsgBuilder::*)(const std::string&);
  constexpr Setter kApplInfoSetters[] = {
      &MoxMsgBuilder::SetApplInfoName,       &MoxMsgBuilder::SetApplInfoVersion,
      &MoxMsgBuilder::SetApplInfoInstance,   &MoxMsgBuilder::SetApplInfoMsgId,
      &MoxMsgBuilder::SetApplInfoType,       &MoxMsgBuilder::SetApplInfoTimestamp,
      &MoxMsgBuilder::SetApplInfoStatus,     &MoxMsgBuilder::SetApplInfoStatusCode,
      &MoxMsgBuilder::SetApplInfoStatusText,
  };
  constexpr Setter kMsgInfoSetters[] = {
      &MoxMsgBuilder::SetMsgInfoType,      &MoxMsgBuilder::SetMsgInfoDirection,
      &MoxMsgBuilder::SetMsgInfoUserRefID, &MoxMsgBuilder::SetMsgInfoOriginalFilename,
      &MoxMsgBuilder::SetMsgInfoAS1To,     &MoxMsgBuilder::SetMsgInfoAS1From,
  };
  for (size_t i = 0; i < std::size(kApplInfoSetters); ++i) {
    (builder.*kApplInfoSetters[i])(kApplInfo[i][1]);
  }
  builder.SetTransportOrigin("https://as2.partner.example.net:4080/as2/receive");
  builder.SetTransportDestination("https://gw-prod-eu-03.example.com/as2/inbound");
  builder.AddTransportProtocol("AS2", "1.2", kTransportHeaders, nullptr);
  builder.AddTransportSecurityProtocol("S/MIME", "3.2", kSecurityHeaders, nullptr);
  for (size_t i = 0; i < std::size(kMsgInfoSetters); ++i) {
    (builder.*kMsgInfoSetters[i])(kMsgInfo[i][1]);
  }
  builder.SetDataLocationType("file");
  builder.SetDataLocationHost("gw-prod-eu-03.example.com");
  builder.SetDataLocationLocation("/var/spool/as2/inbound/2026/12/05/4f2a9c.edi");
  builder.SetMsgInfoMime(mdn.get());
  builder.SetPayload(payload, MoxXML::MoxMsg::MOXFILTER_BASE64);
}

XmlNode ParseTree(const std::string& xml) {
  const MoxXML::MoxXMLPlatformGuard platform;
  XmlNode tree;
  {
    xerces::MemBufInputSource source(reinterpret_cast<const XMLByte*>(xml.data()), xml.size(),
                                     "document");
    xerces::XercesDOMParser parser;
    parser.parse(source);
    if (parser.getErrorCount() != 0 || parser.getDocument() == nullptr) {
      throw std::runtime_error("the builder's XML does not parse");
    }
    tree = ReadElement(*parser.getDocument()->getDocumentElement());
  }
  return tree;
}

std::string RepresentativeDocument::FillAndSerialize() {
  MoxMsgBuilder builder;
  Fill(builder);
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  return xml;
}

std::string BuilderXml(size_t payloadSize) {
  return RepresentativeDocument(payloadSize).FillAndSerialize();
}

XmlNode* FindPayload(XmlNode& node) {
  if (node.name == "payload") return &node;
  for (XmlNode& child : node.children) {
    if (XmlNode* found = FindPayload(child)) return found;
  }
  return nullptr;
}

void EncodeBase64(const std::string& bytes, std::string& out) {
  MoxFilterBase64 encoder;
  MoxFilterContainer container;
  container.writeCallback = &FilterAppend;
  container.writeContext = &out;
  container.AddProcess(&encoder);
  out.reserve(out.size() + bytes.size() / 57 * 78 + 80);
  container.Update(bytes.data(), static_cast<int>(bytes.size()));
  container.Final();
}

}  // namespace bench
