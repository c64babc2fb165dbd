// MoxXMLObject::Serialize and GetXercesDOMRepresentation: the XML text read back with libxml2,
// the callbacks, diagnostics and the conversion of every failure.
#include <clocale>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/PlatformUtils.hpp>

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
using moxxml_test::ParseXml;
using moxxml_test::RefusalOf;
using moxxml_test::TypedElement;

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

const char kSerialize[] = "MoxXMLObject::Serialize";

// Serialises with both callbacks collecting: the text must come in one call, well-formed,
// without diagnostics.
std::string OutlineOf(MoxXMLObject& root, bool pretty = false, std::string* text = nullptr) {
  Received output, errors;
  EXPECT_EQ(root.Serialize(Collect, &output, pretty, Collect, &errors), MOXXMLERR_SUCCESS);
  EXPECT_EQ(output.calls, 1);
  EXPECT_EQ(errors.calls, 0) << errors.text;
  if (text != nullptr) *text = output.text;
  return ParseXml(output.text).Outline();
}

TEST(Serialize, OnlyTheRootIsSerialisedAsAWholeDocumentWithoutItsValue) {
  MoxXMLElement element("a", "");
  MoxXMLAttr attr("a", "");
  MoxMsgElement message("a", "");
  for (MoxXMLObject* node : std::initializer_list<MoxXMLObject*>{&element, &attr, &message}) {
    SCOPED_TRACE(node->GetNodeType());
    Received output;
    ExpectRefusal([&] { node->Serialize(Collect, &output, false, nullptr, nullptr); },
                  MOXXMLERR_ROOT_NODE_ONLY, kSerialize,
                  "The requested action can only be performed with the root node.");
    EXPECT_EQ(output.calls, 0);
  }
  TypedElement root(MSGNODE_ROOT, "moxmsg", "secret");  // a root with a value, never written
  std::string text;
  EXPECT_EQ(OutlineOf(root, false, &text), "moxmsg");
  EXPECT_EQ(text.find("secret"), std::string::npos);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "the declaration included";
}

// Names, values and order survive, plain, pretty and on stdout (without an output callback)
// alike; only pretty output is indented.
// (The DOM keeps attributes by name; these names sort in list order.)
TEST(Serialize, MessageTreeKeepsNamesValuesAndOrder) {
  MoxMsgRootElement root;
  root.AppendElement(Valued("version", "1.0"));
  auto* section = new MoxMsgElement("applinfo", "");
  section->AppendElement(Valued("name", "gateway"));
  section->AppendElement(new MoxMsgElement("empty", "not written"));
  auto* extra = Valued("multi", "m");
  extra->AppendAttribute(new MoxMsgAttr("w", "z"));
  extra->AppendAttribute(new MoxMsgAttr("x", "a"));
  section->AppendElement(extra);
  root.AppendElement(section);
  std::string plain, pretty;
  const std::string outline = "moxmsg{version=1.0 applinfo{name=gateway empty multi=m w=z x=a}}";
  EXPECT_EQ(OutlineOf(root, false, &plain), outline);
  EXPECT_EQ(OutlineOf(root, true, &pretty), outline);
  EXPECT_NE(plain.find("<moxmsg><version"), std::string::npos);
  EXPECT_NE(pretty.find("\n  <applinfo>\n    <name"), std::string::npos);
  testing::internal::CaptureStdout();
  EXPECT_EQ(root.Serialize(nullptr, nullptr, false, nullptr, nullptr), MOXXMLERR_SUCCESS);
  EXPECT_EQ(ParseXml(testing::internal::GetCapturedStdout()).Outline(), outline);
}

// A host element of the message node type writes its value as text, before its children.
TEST(Serialize, SpecialCharactersComeBackUnchanged) {
  MoxMsgRootElement root;
  std::string expected;
  for (const std::string value : {"a<b", "a&b", "say \"hi\"", "x]]>y", "it's", "tab\tnl\ncr\r",
                                  "&amp;", "  lead and trail  "}) {
    root.AppendElement(Valued("m", value));
    auto* t = new TypedElement(MSGNODE_ELEMENT, "t", value);
    t->AppendElement(new TypedElement(XMLNODE_ELEMENT, "inner"));
    root.AppendElement(t);
    expected += (expected.empty() ? "{m=" : " m=") + value + " t \"" + value + "\"{inner}";
  }
  std::string text;
  EXPECT_EQ(OutlineOf(root, false, &text), "moxmsg" + expected + "}");
  for (const auto& child : ParseXml(text).children) EXPECT_TRUE(child.textBeforeElements);
}

// Characters that XML 1.0 forbids (C0 controls, U+FFFE, U+FFFF) pass the transcoder; the
// serializer reports a fatal error and stops. An element name that no DOM accepts (renamed
// past the tag-name check; value "" below) is left out and reported as an error while the
// rest is written. Without an error callback both go to stderr with one-blank prefixes.
TEST(Serialize, DiagnosticsGoToTheErrorCallbackOrToStandardError) {
  for (const std::string value : {"a\x01z", "\x1F", "x\xEF\xBF\xBE", "\xEF\xBF\xBF", ""}) {
    SCOPED_TRACE(value);
    const bool fatal = !value.empty();
    const std::string prefix = fatal ? "\nFatal Message:    " : "\nError Message:    ";
    MoxMsgRootElement root;
    for (const std::string name : {"before", "bad", "after"})
      root.AppendElement(Valued(name, name != "bad" ? "1" : fatal ? value : "x"));
    if (!fatal) root.UpdateElementByVal("a b", "x", XMLNODE_ANY);
    Received output, errors;
    const moxxml_test::Refusal refusal =
        RefusalOf([&] { root.Serialize(Collect, &output, false, Collect, &errors); });
    const auto& [code, where, text] = refusal;
    EXPECT_EQ(code > 0 && where == kSerialize && !text.empty(), fatal) << code << where << text;
    EXPECT_EQ(output.calls, fatal ? 0 : 1);
    EXPECT_EQ(fatal ? "" : ParseXml(output.text).Outline(),
              fatal ? "" : "moxmsg{before=1 after=1}");
    ASSERT_EQ(errors.calls, 1);
    EXPECT_EQ(errors.text.substr(0, 19), prefix);
    EXPECT_GT(errors.text.size(), 19u);
    EXPECT_EQ(errors.text.find("'a b'") != std::string::npos, !fatal);

    testing::internal::CaptureStderr();
    EXPECT_EQ(RefusalOf([&] { root.Serialize(Collect, &output, false, nullptr, nullptr); }),
              refusal);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              prefix.substr(0, 16) + errors.text.substr(19) + "\n");
  }
}

// Failures of the callbacks and of the DOM leave Serialize converted; attribute names are
// never checked, so "1a" reaches the DOM (DOMException::INVALID_CHARACTER_ERR, 5).
TEST(Serialize, FailuresArriveConverted) {
  const struct {
    SerializeCallback output, error;
    int code;
    const char* text;
  } kRows[] = {
      {ThrowMox, Collect, 77, "host said no"},
      {ThrowOther, Collect, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {Collect, ThrowMox, 77, "host said no"},
      {Collect, ThrowOther, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {Collect, Collect, 5, ""},  // the DOM's own message
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    MoxMsgRootElement root;
    // A control character makes the serializer report a fatal error to the error callback.
    auto* element = Valued("m", row.error != Collect ? "a\x01" : "ok");
    if (*row.text == '\0') element->AppendAttribute(new MoxMsgAttr("1a", "x"));
    root.AppendElement(element);
    Received sink;
    auto [code, where, text] =
        RefusalOf([&] { root.Serialize(row.output, &sink, false, row.error, &sink); });
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(where, kSerialize);
    EXPECT_TRUE(*row.text == '\0' ? !text.empty() : text == row.text) << text;
    EXPECT_EQ(sink.calls, 0);
  }
  // The platform was terminated on those paths: a new call starts cleanly.
  MoxMsgRootElement root;
  EXPECT_EQ(OutlineOf(root), "moxmsg");
}

// Narrow text reaches the DOM through the transcoder of the process's code page; text that
// would not come through unchanged is refused, never altered.
TEST(Serialize, NonAsciiTextUnderCAndUtf8Locales) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    SCOPED_TRACE(locale);
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
    MoxMsgRootElement root;
    root.AppendElement(Valued("m", utf8));
    EXPECT_EQ(OutlineOf(root), "moxmsg{m=" + utf8 + "}");
    const std::string kBad[] = {"caf\xE9", "a\x80z", "\xC3", {"a\0b", 3}, "\xED\xA0\x80"};
    for (const std::string& bad : kBad) {
      MoxMsgRootElement badRoot;
      badRoot.AppendElement(Valued("m", bad));
      Received none;
      ExpectRefusal([&] { badRoot.Serialize(Collect, &none, false, Collect, &none); },
                    MOXXMLERR_NULL_POINTER, kSerialize,
                    "Null pointer exception. The text holds a NUL byte or bytes that are not "
                    "valid in the process's code page.");
      EXPECT_EQ(none.calls, 0);
    }
  }
  std::setlocale(LC_ALL, saved.c_str());
}

// Under a host that holds the platform itself; Serialize in between must leave it up.
TEST(GetXercesDOMRepresentation, ChecksDefaultImplementationAndHostHeldPlatform) {
  const char kGet[] = "MoxXMLObject::GetXercesDOMRepresentation";
  xercesc::XMLPlatformUtils::Initialize();
  {
    MoxMsgRootElement root;
    root.AppendElement(Valued("version", "1.0"));
    ExpectRefusal([&] { root.GetXercesDOMRepresentation(nullptr, nullptr); },
                  MOXXMLERR_NULL_POINTER, kGet, "Null pointer exception.");
    MoxMsgElement notRoot;
    xercesc::DOMDocument* document = nullptr;
    ExpectRefusal([&] { notRoot.GetXercesDOMRepresentation(&document, nullptr); },
                  MOXXMLERR_ROOT_NODE_ONLY, kGet,
                  "The requested action can only be performed with the root node.");
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(OutlineOf(root), "moxmsg{version=1.0}");

    ASSERT_EQ(root.GetXercesDOMRepresentation(&document, nullptr), MOXXMLERR_SUCCESS);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(std::u16string(document->getDocumentElement()->getTagName()), u"moxmsg");
    EXPECT_EQ(document->getDocumentElement()->getChildElementCount(), 1u);
    document->release();

    // A failure inside keeps the document with the caller, who releases it.
    root.GoToBeforeFirstChild();
    root.GetNextChild()->AppendAttribute(new MoxMsgAttr("1a", "x"));
    document = nullptr;
    EXPECT_THROW(root.GetXercesDOMRepresentation(&document, nullptr), MoxException);
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
    std::string output;
    OutlineOf(root, false, &output);
    const moxxml_test::ParsedNode parsed = ParseXml(output);
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
      EXPECT_TRUE(WriteWithXerces(document) == output);
      document->release();
    }
    xercesc::XMLPlatformUtils::Terminate();
  }
}

}  // namespace
