// Header contexts and captured MIME trees as "headers", "parms" and "mimepart" elements.
#include <deque>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "external/mime/mime_test_util.h"
#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/serialize.h"

namespace {

using namespace MoxXML;
using namespace MoxXML::MoxMsg;
using moxxml_test::ExpectRefusal;
using moxxml_test::RefusalOf;

// A header chain built by hand from "name:value;parm=value|name:value", for shapes a parser
// would never produce (empty names, null values): "?" stands for a null pointer. The head
// record leads to the first header.
class Chain {
 public:
  explicit Chain(const std::string& spec) {
    mime_header_context** header = &head.next;
    std::istringstream headers(spec);
    for (std::string text, field; std::getline(headers, text, '|'); header = &(*header)->next) {
      std::istringstream fields(text);
      std::getline(fields, field, ';');
      *header = Record(field, ':');
      mime_header_context** parm = &(*header)->parms;
      for (; std::getline(fields, field, ';'); parm = &(*parm)->next) *parm = Record(field, '=');
    }
  }
  mime_header_context head{};

 private:
  mime_header_context* Record(const std::string& field, char separator) {
    const size_t cut = field.rfind(separator);
    mime_header_context& record = records.emplace_back();
    for (auto [to, text] :
         {std::pair{&record.name, field.substr(0, cut)}, {&record.value, field.substr(cut + 1)}})
      *to = text == "?" ? nullptr : &strings.emplace_back(text)[0];
    return &record;
  }
  std::deque<mime_header_context> records;
  std::deque<std::string> strings;
};

// A message element under a root, serialised, parsed back and outlined.
std::string Written(MoxMsgElement* element) {
  MoxMsgRootElement root;
  root.AppendElement(element);
  return moxxml_test::ParseXml(moxxml_test::SerializeToString(root)).children.at(0).Outline();
}

// Two AppendHdrs calls on a fresh element "e" with value "v": the second call's refusal code
// (-1: none) and the element written. A refused header name leaves what earlier calls added.
TEST(AppendHdrs, ChainsBecomeHeaderElements) {
  const struct {
    const char *first, *second;
    int code;
    const char* written;
  } kRows[] = {
      {"Subject:x|Content-Type:text/plain;charset=us-ascii", "", -1,
       "e=v{headers{subject=x content-type=text/plain{parms{charset=us-ascii}}}}"},
      {"", "", -1, "e=v"},  // no headers: not even "headers"
      {":lost|?:lost", "", -1, "e=v{headers}"},
      {"X-Empty:|X-Null:?", "", -1, "e=v{headers{x-empty x-null}}"},  // no attribute
      {"Content-Type:text/plain;=lost;?=?", "", -1, "e=v{headers{content-type=text/plain{parms}}}"},
      {"Received:a|Received:b", "", -1, "e=v{headers{received=a received=b}}"},
      {"A:1", "B:2", -1, "e=v{headers{a=1 b=2}}"},
      {"Kept:1", "X Header:x", -1, "e=v{headers{kept=1 x_header=x}}"},
      {"", "Content-TYPE:x", -1, "e=v{headers{content-type=x}}"},
      {"", "a.b:c_d:x", -1, "e=v{headers{a.b:c_d=x}}"},
      {"", "Content-Type:x;file name=p", -1, "e=v{headers{content-type=x{parms{file_name=p}}}}"},
      {"", "2nd:x", MOXXMLERR_INVALID_TAG_NAME, "e=v"},
      {"Kept:1", "X/Slash:x", MOXXMLERR_INVALID_TAG_NAME, "e=v{headers{kept=1}}"},
      {"", "X(paren):x", MOXXMLERR_INVALID_TAG_NAME, "e=v"},
      {"Kept:1", "Caf\xc3\xa9:x", MOXXMLERR_INVALID_TAG_NAME, "e=v{headers{kept=1}}"},
      {"", "\xff:x", MOXXMLERR_INVALID_TAG_NAME, "e=v"},
      {"Kept:1", "Content-Type:x;1st=p", MOXXMLERR_INVALID_TAG_NAME, "e=v{headers{kept=1}}"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.first) + " then " + row.second);
    Chain first(row.first), second(row.second);
    auto* element = new MoxMsgElementWithMIMEHEADERCTXHeaderRoutines();
    element->SetTagName("e");
    element->SetTagValue("v");
    EXPECT_EQ(element->AppendHdrs(&first.head), 0);
    auto [code, where, text] = RefusalOf([&] { element->AppendHdrs(&second.head); });
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(where, row.code < 0 ? "" : "MoxXMLElement::AppendElement");  // passed unchanged
    EXPECT_EQ(Written(element), row.written);
  }
}

// Each entity gives a mimepart of its headers, then its children; the MDN fields follow the
// own headers of the disposition-notification entity. An empty target adds nothing; a null
// header context or target is refused.
TEST(MimePart, MultipartWithTwoLeavesAndAnMdn) {
  const std::string message =
      "Content-Type: multipart/report; boundary=\"b\"\r\nSubject: s\r\n\r\n"
      "preamble\r\n--b\r\nContent-Type: text/plain\r\n\r\nhuman text\r\n"
      "--b\r\nContent-Type: message/disposition-notification\r\nX-Own: 1\r\n\r\n"
      "Reporting-UA: ua\r\nOriginal-Message-ID: <id@x>\r\n"
      "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\r\n"
      "\r\n--b--\r\n";
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger), empty(logger);
  moxxml_test::Parse(target, message, 0);
  auto* part = new MoxMsgMimePart();
  part->SetTagName("mimepart");
  EXPECT_EQ(part->AppendHdrs(&empty), part);
  EXPECT_FALSE(part->ElementExists(XMLNODE_ANY));
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines element;
  ExpectRefusal([&] { element.AppendHdrs(static_cast<mime_header_context*>(nullptr)); },
                MOXXMLERR_NULL_POINTER, "MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs",
                "Null pointer exception.");
  ExpectRefusal([&] { part->AppendHdrs(static_cast<MDNAndPayloadMIMEOutputTarget*>(nullptr)); },
                MOXXMLERR_NULL_POINTER, "MoxMsgMimePart::AppendHdrs", "Null pointer exception.");
  EXPECT_EQ(part->AppendHdrs(&target), part);
  EXPECT_EQ(
      Written(part),
      "mimepart{headers{content-type=multipart/report{parms{boundary=b}} subject=s} "
      "mimepart{headers{content-type=text/plain}} "
      "mimepart{headers{content-type=message/disposition-notification x-own=1 reporting-ua=ua "
      "original-message-id=<id@x> "
      "disposition=automatic-action/MDN-sent-automatically; processed/Error: x}}}");
}

// Values are taken by their length, NUL bytes included, so that the serializer cuts them at
// the NUL and says so, naming the element, as it does for every value: built from C strings,
// the rest of a value (here invalid UTF-8 after the NUL) vanished without a word. Header
// fields, parameters and the fields of a disposition notification alike.
TEST(MimePart, ValuesWithNulBytesAreCutWithAWarning) {
  const char kMessage[] =
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n"
      "X-Orig: abc\0def\xE4\r\n"
      "Content-Disposition: attachment; filename=\"order\0.exe\"\r\n\r\n"
      "--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
      "Disposition: ok\0 hidden\r\n\r\n--b--\r\n";
  const std::string message(kMessage, sizeof kMessage - 1);
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  moxxml_test::Parse(target, message, 0);
  auto* part = new MoxMsgMimePart();
  part->SetTagName("mimepart");
  part->AppendHdrs(&target);
  MoxMsgRootElement root;
  root.AppendElement(part);
  std::string diagnostics;
  const std::string xml = moxxml_test::SerializeToString(root, false, &diagnostics);
  EXPECT_EQ(moxxml_test::ParseXml(xml).children.at(0).Outline(),
            "mimepart{headers{content-type=multipart/report{parms{"
            "report-type=disposition-notification boundary=b}} x-orig=abc "
            "content-disposition=attachment{parms{filename=order}}} "
            "mimepart{headers{content-type=message/disposition-notification disposition=ok}}}");
  std::string expected;
  for (const char* element : {"x-orig", "filename", "disposition"}) {
    expected += std::string("\nWarning Message:  The value of attribute 'v' of element '") +
                element + "' was written altered: it was cut at a NUL byte.";
  }
  EXPECT_EQ(diagnostics, expected);
}

}  // namespace
