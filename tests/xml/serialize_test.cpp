// MoxXMLObject::Serialize and GetXercesDOMRepresentation: the XML text read back with libxml2,
// the callbacks, diagnostics and the conversion of every failure.
#include <algorithm>
#include <clocale>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "xml/recording_nodes.h"

namespace {

using namespace MoxXML;
using MoxMsg::MoxMsgAttr;
using MoxMsg::MoxMsgElement;
using MoxMsg::MoxMsgRootElement;
using moxxml_test::ExpectRefusal;
using moxxml_test::ParsedNode;
using moxxml_test::ParseXml;
using moxxml_test::TypedElement;

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct Received {
  std::string text;
  int calls = 0;
};

int Collect(const char* data, int length, void* context) {
  auto* received = static_cast<Received*>(context);
  received->text.append(data, static_cast<std::size_t>(length));
  ++received->calls;
  return -1;  // ignored
}

int ThrowMox(const char*, int, void*) { throw MoxException(77, "Host::Callback", "host said no"); }

int ThrowOther(const char*, int, void*) { throw std::runtime_error("not a MoxException"); }

MoxMsgElement* Valued(const std::string& name, const std::string& value) {
  auto* element = new MoxMsgElement(name, "");
  element->SetTagValue(value);
  return element;
}

// Serialises with both callbacks collecting; fails the test on any exception.
ParsedNode SerializeAndParse(MoxXMLObject& root, bool pretty, Received* output, Received* errors) {
  EXPECT_EQ(root.Serialize(Collect, output, pretty, Collect, errors), MOXXMLERR_SUCCESS);
  EXPECT_EQ(output->calls, 1);
  ParsedNode parsed;
  EXPECT_TRUE(ParseXml(output->text, &parsed)) << output->text;
  return parsed;
}

TEST(Serialize, OnlyTheRootIsSerialised) {
  MoxXMLElement element("a", "");
  MoxXMLAttr attr("a", "");
  MoxMsgElement message("a", "");
  for (MoxXMLObject* node : std::initializer_list<MoxXMLObject*>{&element, &attr, &message}) {
    SCOPED_TRACE(node->GetNodeType());
    Received output;
    ExpectRefusal([&] { node->Serialize(Collect, &output, false, nullptr, nullptr); },
                  MOXXMLERR_ROOT_NODE_ONLY, "MoxXMLObject::Serialize",
                  "The requested action can only be performed with the root node.");
    EXPECT_EQ(output.calls, 0);
  }
}

// A host root that offers a value: the root's value is still never written.
class ValuedRoot : public MoxMsgRootElement {
 public:
  const std::string& GetTagValueForSerialization() override { return secret; }
  ValuedRoot* Clone() const override { return new ValuedRoot(*this); }
  std::string secret = "secret";
};

TEST(Serialize, EmptyRootIsAnEmptyDocumentElement) {
  ValuedRoot root;
  Received output, errors;
  ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
  EXPECT_EQ(parsed.name, "moxmsg");
  EXPECT_TRUE(parsed.attributes.empty());
  EXPECT_TRUE(parsed.children.empty());
  EXPECT_EQ(parsed.text, "");
  EXPECT_EQ(output.text.find("secret"), std::string::npos);
  EXPECT_EQ(output.text.rfind("<?xml", 0), 0u) << "the whole document, declaration included";
  EXPECT_EQ(errors.calls, 0);
}

TEST(Serialize, MessageTreeKeepsNamesValuesAndOrder) {
  MoxMsgRootElement root;
  root.AppendElement(Valued("version", "1.0"));
  auto* section = new MoxMsgElement("applinfo", "");
  section->AppendElement(Valued("name", "gateway"));
  section->AppendElement(Valued("status", "ok"));
  section->AppendElement(new MoxMsgElement("empty", "not written"));
  auto* extra = Valued("multi", "m");
  extra->AppendAttribute(new MoxMsgAttr("zeta", "z"));
  extra->AppendAttribute(new MoxMsgAttr("alpha", "a"));
  section->AppendElement(extra);
  root.AppendElement(section);

  Received output, errors;
  ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
  ASSERT_EQ(parsed.children.size(), 2u);
  EXPECT_EQ(parsed.children[0].name, "version");
  EXPECT_EQ(parsed.children[0].attributes, (Attributes{{"v", "1.0"}}));
  const ParsedNode& applinfo = parsed.children[1];
  EXPECT_EQ(applinfo.name, "applinfo");
  EXPECT_TRUE(applinfo.attributes.empty());
  ASSERT_EQ(applinfo.children.size(), 4u);
  const struct {
    const char* name;
    Attributes attributes;
  } kExpected[] = {{"name", {{"v", "gateway"}}},
                   {"status", {{"v", "ok"}}},
                   {"empty", {}},
                   {"multi", {{"v", "m"}, {"zeta", "z"}, {"alpha", "a"}}}};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(kExpected[i].name);
    EXPECT_EQ(applinfo.children[i].name, kExpected[i].name);
    // The DOM keeps attributes by name, so their order in the text is the DOM's.
    auto attributes = applinfo.children[i].attributes;
    auto expected = kExpected[i].attributes;
    std::sort(attributes.begin(), attributes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(attributes, expected);
    EXPECT_EQ(applinfo.children[i].text, "") << "message elements carry no text";
  }
}

TEST(Serialize, SpecialCharactersComeBackUnchanged) {
  const std::string kValues[] = {"a<b",  "a&b",           "say \"hi\"", "x]]>y",
                                 "it's", "tab\tnl\ncr\r", "&amp;",      "  lead and trail  "};
  for (const std::string& value : kValues) {
    SCOPED_TRACE(value);
    MoxMsgRootElement root;
    root.AppendElement(Valued("m", value));
    // A host element of the message node type writes its value as text.
    auto* text = new TypedElement(MSGNODE_ELEMENT, "t", value);
    text->AppendElement(new TypedElement(XMLNODE_ELEMENT, "inner"));
    root.AppendElement(text);
    Received output, errors;
    ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
    ASSERT_EQ(parsed.children.size(), 2u);
    EXPECT_EQ(parsed.children[0].attributes, (Attributes{{"v", value}}));
    EXPECT_EQ(parsed.children[1].text, value);
    EXPECT_TRUE(parsed.children[1].textBeforeElements);
    ASSERT_EQ(parsed.children[1].children.size(), 1u);
    EXPECT_EQ(parsed.children[1].children[0].name, "inner");
  }
}

TEST(Serialize, PrettyPrintIndentsOnlyWhenAsked) {
  MoxMsgRootElement root;
  auto* section = new MoxMsgElement("transport", "");
  section->AppendElement(Valued("origin", "a"));
  root.AppendElement(section);
  Received plain, pretty, errors;
  ParsedNode plainTree = SerializeAndParse(root, false, &plain, &errors);
  ParsedNode prettyTree = SerializeAndParse(root, true, &pretty, &errors);
  EXPECT_EQ(plain.text.find("\n  <"), std::string::npos);
  EXPECT_EQ(plain.text.find("><transport>"), plain.text.find("<moxmsg>") + 7);
  EXPECT_NE(pretty.text.find("\n  <transport>"), std::string::npos);
  EXPECT_NE(pretty.text.find("\n    <origin"), std::string::npos);
  ASSERT_EQ(prettyTree.children.size(), 1u);
  EXPECT_EQ(prettyTree.children[0].name, plainTree.children[0].name);
  EXPECT_EQ(prettyTree.children[0].children[0].attributes,
            plainTree.children[0].children[0].attributes);
}

TEST(Serialize, WithoutOutputCallbackWritesToStandardOutput) {
  MoxMsgRootElement root;
  root.AppendElement(Valued("status", "ok"));
  testing::internal::CaptureStdout();
  const int result = root.Serialize(nullptr, nullptr, false, nullptr, nullptr);
  const std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, MOXXMLERR_SUCCESS);
  ParsedNode parsed;
  ASSERT_TRUE(ParseXml(text, &parsed)) << text;
  ASSERT_EQ(parsed.children.size(), 1u);
  EXPECT_EQ(parsed.children[0].attributes, (Attributes{{"v", "ok"}}));
}

TEST(Serialize, CallbackExceptionsArriveConverted) {
  const struct {
    const char* label;
    bool inErrorCallback;
    SerializeCallback callback;
    int code;
    const char* text;
  } kRows[] = {
      {"output, MoxException", false, ThrowMox, 77, "host said no"},
      {"output, other", false, ThrowOther, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {"error, MoxException", true, ThrowMox, 77, "host said no"},
      {"error, other", true, ThrowOther, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.label);
    MoxMsgRootElement root;
    // A control character makes the serializer report a fatal error to the error callback.
    root.AppendElement(Valued("m", row.inErrorCallback ? "a\x01"
                                                         "b"
                                                       : "ok"));
    Received sink;
    ExpectRefusal(
        [&] {
          if (row.inErrorCallback) {
            root.Serialize(Collect, &sink, false, row.callback, nullptr);
          } else {
            root.Serialize(row.callback, nullptr, false, Collect, &sink);
          }
        },
        row.code, "MoxXMLObject::Serialize", row.text);
  }
  // The platform was terminated on those paths: a new call starts cleanly.
  MoxMsgRootElement root;
  Received output, errors;
  SerializeAndParse(root, false, &output, &errors);
}

// Characters that XML 1.0 forbids (C0 controls, U+FFFE, U+FFFF) pass the transcoder; the
// serializer then reports a fatal error and stops.
TEST(Serialize, ForbiddenCharacterIsAFatalDiagnosticAndAnException) {
  for (const std::string& value :
       {std::string("a\x01"
                    "b"),
        std::string("\x1F"), std::string("x\xEF\xBF\xBE"), std::string("\xEF\xBF\xBF")}) {
    SCOPED_TRACE(value);
    MoxMsgRootElement root;
    root.AppendElement(Valued("m", value));
    Received output, errors;
    try {
      root.Serialize(Collect, &output, false, Collect, &errors);
      ADD_FAILURE() << "no exception";
    } catch (const MoxException& e) {
      EXPECT_EQ(e.GetWhere(), "MoxXMLObject::Serialize");
      EXPECT_NE(e.GetResultCode(), MOXXMLERR_SUCCESS);
      EXPECT_FALSE(e.GetText().empty());
    }
    EXPECT_EQ(output.calls, 0);
    ASSERT_GE(errors.calls, 1);
    EXPECT_EQ(errors.text.substr(0, 19), "\nFatal Message:    ");
    EXPECT_GT(errors.text.size(), 19u);

    testing::internal::CaptureStderr();
    EXPECT_THROW(root.Serialize(Collect, &output, false, nullptr, nullptr), MoxException);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stderrText.substr(0, 16), "\nFatal Message: ");
    EXPECT_NE(stderrText.substr(16, 1), " ");
    EXPECT_EQ(stderrText.back(), '\n');
  }
}

// An element name that no DOM accepts (renamed past the tag-name check) leaves that element
// out, reported as an error, while the rest of the document is written.
TEST(Serialize, ElementThatCannotBeBuiltIsLeftOutAndReported) {
  MoxMsgRootElement root;
  root.AppendElement(Valued("before", "1"));
  auto* bad = Valued("bad", "x");
  bad->AppendElement(Valued("inner", "2"));
  root.AppendElement(bad);
  root.AppendElement(Valued("after", "3"));
  ASSERT_EQ(root.UpdateElementByVal("a b", "x", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  Received output, errors;
  ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
  ASSERT_EQ(parsed.children.size(), 2u);
  EXPECT_EQ(parsed.children[0].name, "before");
  EXPECT_EQ(parsed.children[1].name, "after");
  EXPECT_EQ(errors.calls, 1);
  EXPECT_EQ(errors.text.substr(0, 19), "\nError Message:    ");
  EXPECT_NE(errors.text.find("'a b'"), std::string::npos);

  testing::internal::CaptureStderr();
  Received quiet;
  root.Serialize(Collect, &quiet, false, nullptr, nullptr);
  const std::string stderrText = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stderrText.substr(0, 16), "\nError Message: ");
}

TEST(Serialize, InvalidAttributeNameFailsWithTheDomCode) {
  MoxMsgRootElement root;
  auto* element = new MoxMsgElement("e", "");
  element->AppendAttribute(new MoxMsgAttr("1a", "x"));  // attribute names are never checked
  root.AppendElement(element);
  Received output, errors;
  try {
    root.Serialize(Collect, &output, false, Collect, &errors);
    ADD_FAILURE() << "no exception";
  } catch (const MoxException& e) {
    EXPECT_EQ(e.GetResultCode(), 5);  // DOMException::INVALID_CHARACTER_ERR
    EXPECT_EQ(e.GetWhere(), "MoxXMLObject::Serialize");
    EXPECT_FALSE(e.GetText().empty());
  }
  EXPECT_EQ(output.calls, 0);
}

// Narrow text reaches the DOM through the transcoder of the process's code page; text that
// would not come through unchanged is refused, never altered.
TEST(Serialize, NonAsciiTextUnderCAndUtf8Locales) {
  const std::string kRefused =
      "Null pointer exception. The text holds a NUL byte or bytes that are not valid in the "
      "process's code page.";
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    SCOPED_TRACE(locale);
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
    MoxMsgRootElement root;
    root.AppendElement(Valued("m", utf8));
    Received output, errors;
    ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
    ASSERT_EQ(parsed.children.size(), 1u);
    EXPECT_EQ(parsed.children[0].attributes, (Attributes{{"v", utf8}}));

    for (const std::string& bad :
         {std::string("caf\xE9"), std::string("a\x80z"), std::string("\xC3"),
          std::string("a\0b", 3), std::string("\xED\xA0\x80")}) {
      MoxMsgRootElement badRoot;
      badRoot.AppendElement(Valued("m", bad));
      Received none;
      ExpectRefusal([&] { badRoot.Serialize(Collect, &none, false, Collect, &none); },
                    MOXXMLERR_NULL_POINTER, "MoxXMLObject::Serialize", kRefused);
      EXPECT_EQ(none.calls, 0);
    }
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(GetXercesDOMRepresentation, ChecksAndDefaultImplementation) {
  xercesc::XMLPlatformUtils::Initialize();
  {
    MoxMsgRootElement root;
    root.AppendElement(Valued("version", "1.0"));
    ExpectRefusal([&] { root.GetXercesDOMRepresentation(nullptr, nullptr); },
                  MOXXMLERR_NULL_POINTER, "MoxXMLObject::GetXercesDOMRepresentation",
                  "Null pointer exception.");
    MoxMsgElement notRoot;
    xercesc::DOMDocument* document = nullptr;
    ExpectRefusal([&] { notRoot.GetXercesDOMRepresentation(&document, nullptr); },
                  MOXXMLERR_ROOT_NODE_ONLY, "MoxXMLObject::GetXercesDOMRepresentation",
                  "The requested action can only be performed with the root node.");
    EXPECT_EQ(document, nullptr);

    ASSERT_EQ(root.GetXercesDOMRepresentation(&document, nullptr), MOXXMLERR_SUCCESS);
    ASSERT_NE(document, nullptr);
    char* name = xercesc::XMLString::transcode(document->getDocumentElement()->getTagName());
    EXPECT_STREQ(name, "moxmsg");
    xercesc::XMLString::release(&name);
    EXPECT_EQ(document->getDocumentElement()->getChildElementCount(), 1u);
    document->release();

    // A failure inside keeps the document with the caller, who releases it.
    MoxMsgRootElement bad;
    auto* element = new MoxMsgElement("e", "");
    element->AppendAttribute(new MoxMsgAttr("1a", "x"));
    bad.AppendElement(element);
    document = nullptr;
    EXPECT_THROW(bad.GetXercesDOMRepresentation(&document, nullptr), MoxException);
    ASSERT_NE(document, nullptr);
    document->release();
  }
  xercesc::XMLPlatformUtils::Terminate();
}

// Writes document as the serializer writes it without indentation.
std::string WriteWithXerces(xercesc::DOMDocument* document) {
  static constexpr XMLCh kCore[] = {u'C', u'o', u'r', u'e', 0};
  xercesc::DOMImplementation* implementation =
      xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  xercesc::DOMLSSerializer* serializer = implementation->createLSSerializer();
  xercesc::DOMLSOutput* output = implementation->createLSOutput();
  xercesc::MemBufFormatTarget target;
  output->setByteStream(&target);
  serializer->write(document, output);
  output->release();
  serializer->release();
  return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

// Long values are written as they would be from one text node, escapes across the places
// where the writer may split them included; the DOM handed to a host has one text node.
TEST(Serialize, LongTextIsWrittenAsFromOneTextNode) {
  constexpr size_t kSize = (size_t{5} << 19) + 3;
  std::string ascii(kSize, 'x');
  for (size_t at = size_t{1} << 20; at < kSize; at += size_t{1} << 20) {
    ascii.replace(at - 2, 5, "]]>\r&");
  }
  ascii.replace(kSize - 4, 4, "<\r\n\t");
  std::string utf8;
  while (utf8.size() < kSize) utf8 += "caf\xC3\xA9 ]]> ";
  for (const std::string& value : {ascii, utf8}) {
    SCOPED_TRACE(value.substr(0, 8));
    MoxMsgRootElement root;
    root.AppendElement(new TypedElement(MSGNODE_ELEMENT, "t", value));
    Received output, errors;
    ParsedNode parsed = SerializeAndParse(root, false, &output, &errors);
    ASSERT_EQ(parsed.children.size(), 1u);
    EXPECT_TRUE(parsed.children[0].text == value);

    xercesc::XMLPlatformUtils::Initialize();
    {
      xercesc::DOMDocument* document = nullptr;
      ASSERT_EQ(root.GetXercesDOMRepresentation(&document, nullptr), MOXXMLERR_SUCCESS);
      const xercesc::DOMNode* text =
          document->getDocumentElement()->getFirstChild()->getFirstChild();
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(text->getNextSibling(), nullptr);
      EXPECT_TRUE(WriteWithXerces(document) == output.text);
      document->release();
    }
    xercesc::XMLPlatformUtils::Terminate();
  }
}

// A host that holds the platform itself keeps it across Serialize calls.
TEST(Serialize, HostHeldPlatformStaysUp) {
  xercesc::XMLPlatformUtils::Initialize();
  MoxMsgRootElement root;
  Received output, errors;
  SerializeAndParse(root, false, &output, &errors);
  XMLCh* text = xercesc::XMLString::transcode("still up");
  EXPECT_NE(text, nullptr);
  xercesc::XMLString::release(&text);
  xercesc::XMLPlatformUtils::Terminate();
}

}  // namespace
