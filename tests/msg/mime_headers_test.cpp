// Header contexts and captured MIME trees as "headers", "parms" and "mimepart" elements.
#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/serialize.h"

namespace {

using namespace MoxXML;
using namespace MoxXML::MoxMsg;
using moxxml_test::ExpectRefusal;
using moxxml_test::ParsedNode;
using moxxml_test::RefusalOf;
using Names = std::vector<std::string>;

// Builds header chains by hand, for shapes a parser would never produce (empty names, null
// values). Records live as long as the chain.
class Chain {
 public:
  Chain() { head = Record(nullptr, nullptr); }
  mime_header_context* Add(const char* name, const char* value) {
    mime_header_context* r = Record(name, value);
    Link(&head->next, r);
    return r;
  }
  void AddParm(mime_header_context* header, const char* name, const char* value) {
    Link(&header->parms, Record(name, value));
  }
  mime_header_context* head;

 private:
  mime_header_context* Record(const char* name, const char* value) {
    records.emplace_back();
    mime_header_context* r = &records.back();
    r->name = name ? Keep(name) : nullptr;
    r->value = value ? Keep(value) : nullptr;
    return r;
  }
  char* Keep(const char* text) {
    strings.emplace_back(text);
    return &strings.back()[0];
  }
  static void Link(mime_header_context** at, mime_header_context* r) {
    while (*at) at = &(*at)->next;
    *at = r;
  }
  std::deque<mime_header_context> records;
  std::deque<std::string> strings;
};

// A message element under a root, serialised and parsed back.
ParsedNode Written(MoxMsgElement* element) {
  MoxMsgRootElement root;
  root.AppendElement(element);
  return moxxml_test::ParseXml(moxxml_test::SerializeToString(root)).children.at(0);
}

MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* NewHeaderElement() {
  auto* element = new MoxMsgElementWithMIMEHEADERCTXHeaderRoutines();
  element->SetTagName("e");
  return element;
}

TEST(AppendHdrs, SubjectAndContentTypeWithCharset) {
  Chain chain;
  chain.Add("Subject", "x");
  chain.AddParm(chain.Add("Content-Type", "text/plain"), "charset", "us-ascii");
  auto* element = NewHeaderElement();
  EXPECT_EQ(element->AppendHdrs(chain.head), 0);
  ParsedNode node = Written(element);
  EXPECT_EQ(node.ChildNames(), Names{"headers"});
  EXPECT_EQ(node.At("headers").ChildNames(), (Names{"subject", "content-type"}));
  EXPECT_EQ(node.At("headers/subject").Attr("v"), "x");
  EXPECT_EQ(node.At("headers/content-type").Attr("v"), "text/plain");
  EXPECT_EQ(node.At("headers/content-type/parms").ChildNames(), Names{"charset"});
  EXPECT_EQ(node.At("headers/content-type/parms/charset").Attr("v"), "us-ascii");
}

TEST(AppendHdrs, EmptyNamesValuesAndChains) {
  Chain noHeaders;
  Chain emptyNames;
  emptyNames.Add("", "lost");
  emptyNames.Add(nullptr, "lost");
  Chain emptyValues;
  emptyValues.Add("X-Empty", "");
  emptyValues.Add("X-Null", nullptr);
  Chain emptyParms;
  mime_header_context* h = emptyParms.Add("Content-Type", "text/plain");
  emptyParms.AddParm(h, "", "lost");
  emptyParms.AddParm(h, nullptr, nullptr);
  Chain duplicates;
  duplicates.Add("Received", "a");
  duplicates.Add("Received", "b");

  auto* a = NewHeaderElement();
  a->AppendHdrs(noHeaders.head);
  EXPECT_TRUE(Written(a).children.empty());  // not even "headers"

  auto* b = NewHeaderElement();
  b->AppendHdrs(emptyNames.head);
  ParsedNode nb = Written(b);
  EXPECT_EQ(nb.ChildNames(), Names{"headers"});
  EXPECT_TRUE(nb.At("headers").children.empty());

  auto* c = NewHeaderElement();
  c->AppendHdrs(emptyValues.head);
  ParsedNode nc = Written(c);
  EXPECT_EQ(nc.At("headers").ChildNames(), (Names{"x-empty", "x-null"}));
  EXPECT_TRUE(nc.At("headers/x-empty").attributes.empty());
  EXPECT_TRUE(nc.At("headers/x-null").attributes.empty());

  auto* d = NewHeaderElement();
  d->AppendHdrs(emptyParms.head);
  EXPECT_TRUE(Written(d).At("headers/content-type/parms").children.empty());

  auto* e = NewHeaderElement();
  e->AppendHdrs(duplicates.head);
  ParsedNode ne = Written(e);
  ASSERT_EQ(ne.At("headers").ChildNames(), (Names{"received", "received"}));
  EXPECT_EQ(ne.At("headers").children[1].Attr("v"), "b");
}

TEST(AppendHdrs, SecondCallAddsToTheFirstHeadersElement) {
  Chain first, second;
  first.Add("A", "1");
  second.Add("B", "2");
  auto* element = NewHeaderElement();
  element->SetTagValue("value");
  element->AppendHdrs(first.head);
  element->AppendHdrs(second.head);
  ParsedNode node = Written(element);
  EXPECT_EQ(node.ChildNames(), Names{"headers"});
  EXPECT_EQ(node.At("headers").ChildNames(), (Names{"a", "b"}));
  EXPECT_EQ(node.Attr("v"), "value");
}

TEST(AppendHdrs, NamesAreNormalisedOrRefused) {
  const struct {
    const char* header;
    const char* parm;
    const char* element;  // expected name, or null when code 14 is thrown
  } kRows[] = {
      {"X Header", nullptr, "x_header"}, {"Content-TYPE", nullptr, "content-type"},
      {"a.b:c_d", nullptr, "a.b:c_d"},   {"2nd", nullptr, nullptr},
      {"X/Slash", nullptr, nullptr},     {"X(paren)", nullptr, nullptr},
      {"Caf\xc3\xa9", nullptr, nullptr}, {"\xff", nullptr, nullptr},
      {"Content-Type", "1st", nullptr},  {"Content-Type", "file name", "content-type"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.header);
    Chain existing, chain;
    existing.Add("Kept", "1");
    mime_header_context* h = chain.Add(row.header, "v");
    if (row.parm) chain.AddParm(h, row.parm, "p");
    // Both with a fresh element (the new "headers" must not leak) and with an existing one.
    for (bool withExisting : {false, true}) {
      auto* element = NewHeaderElement();
      if (withExisting) element->AppendHdrs(existing.head);
      if (row.element == nullptr) {
        auto [code, where, text] = RefusalOf([&] { element->AppendHdrs(chain.head); });
        EXPECT_EQ(code, MOXXMLERR_INVALID_TAG_NAME);
        EXPECT_EQ(where, "MoxXMLElement::AppendElement");
        ParsedNode node = Written(element);
        if (withExisting) {
          EXPECT_EQ(node.At("headers").ChildNames(), Names{"kept"});
        } else {
          EXPECT_TRUE(node.children.empty());
        }
      } else {
        element->AppendHdrs(chain.head);
        ParsedNode node = Written(element);
        EXPECT_EQ(node.At("headers").ChildNames().back(), row.element);
      }
    }
  }
}

// Parses a whole message into a capture target.
struct Captured {
  explicit Captured(const std::string& message) : target(logger), parser(target) {
    EXPECT_EQ(parser.Update(message.data(), static_cast<int>(message.size())), 0);
    EXPECT_EQ(parser.Final(), 0);
  }
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target;
  MIMEMessageParser parser;
};

TEST(MimePart, MultipartWithTwoLeavesAndAnMdn) {
  Captured captured(
      "Content-Type: multipart/report; boundary=\"b\"\r\nSubject: s\r\n\r\n"
      "preamble\r\n--b\r\nContent-Type: text/plain\r\n\r\nhuman text\r\n"
      "--b\r\nContent-Type: message/disposition-notification\r\nX-Own: 1\r\n\r\n"
      "Reporting-UA: ua\r\nOriginal-Message-ID: <id@x>\r\n"
      "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\r\n"
      "\r\n--b--\r\n");
  auto* part = new MoxMsgMimePart();
  part->SetTagName("mimepart");
  EXPECT_EQ(part->AppendHdrs(&captured.target), part);
  ParsedNode node = Written(part);
  EXPECT_EQ(node.ChildNames(), (Names{"headers", "mimepart", "mimepart"}));
  EXPECT_EQ(node.At("headers").ChildNames(), (Names{"content-type", "subject"}));
  EXPECT_EQ(node.At("headers/content-type/parms/boundary").Attr("v"), "b");
  EXPECT_EQ(node.children[1].At("headers").ChildNames(), Names{"content-type"});
  const ParsedNode& dn = node.children[2];
  EXPECT_EQ(dn.ChildNames(), Names{"headers"});
  EXPECT_EQ(dn.At("headers").ChildNames(),
            (Names{"content-type", "x-own", "reporting-ua", "original-message-id", "disposition"}));
  EXPECT_EQ(dn.At("headers/disposition").Attr("v"),
            "automatic-action/MDN-sent-automatically; processed/Error: x");
  EXPECT_EQ(dn.At("headers/disposition").Child("parms"), nullptr);
}

// Null header context or target is refused; an empty target adds nothing; a mimepart has
// no attributes, so no value.
TEST(MimePart, NullEmptyTargetAndNoValue) {
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines element;
  ExpectRefusal([&] { element.AppendHdrs(static_cast<mime_header_context*>(nullptr)); },
                MOXXMLERR_NULL_POINTER, "MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs",
                "Null pointer exception.");
  MoxMsgMimePart part;
  ExpectRefusal([&] { part.AppendHdrs(static_cast<MDNAndPayloadMIMEOutputTarget*>(nullptr)); },
                MOXXMLERR_NULL_POINTER, "MoxMsgMimePart::AppendHdrs", "Null pointer exception.");
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget empty(logger);
  EXPECT_EQ(part.AppendHdrs(&empty), &part);
  EXPECT_FALSE(part.ElementExists(XMLNODE_ANY));
  EXPECT_EQ(std::get<0>(RefusalOf([&] { part.SetTagValue("x"); })),
            MOXXMLERR_INVALID_ATTRIBUTE_TYPE);
}

}  // namespace
