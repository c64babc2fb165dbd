// MoxXMLObject::Serialize and GetXercesDOMRepresentation: the XML text read back with libxml2,
// the callbacks, diagnostics and the conversion of every failure.
#include <clocale>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include <xercesc/dom/DOM.hpp>
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
  EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "the declaration included";
}

// Names, values and order survive, plain, pretty and on stdout (without an output callback)
// alike; only pretty output is indented. Values keep every character; a host element of the
// message node type writes its value as text, before its children.
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
  std::string outline = "moxmsg{version=1.0 applinfo{name=gateway empty multi=m w=z x=a}", pretty;
  EXPECT_EQ(OutlineOf(root, true, &pretty), outline + "}");  // mixed content would gain blanks
  EXPECT_NE(pretty.find("\n  <applinfo>\n    <name"), std::string::npos);
  for (const std::string value : {"a<b", "a&b", "say \"hi\"", "x]]>y", "it's", "tab\tnl\ncr\r",
                                  "&amp;", "  lead and trail  "}) {
    root.AppendElement(Valued("m", value));
    auto* t = new TypedElement(MSGNODE_ELEMENT, "t", value);
    t->AppendElement(new TypedElement(XMLNODE_ELEMENT, "inner"));
    root.AppendElement(t);
    outline += " m=" + value + " t \"" + value + "\"{inner}";
  }
  std::string plain;
  EXPECT_EQ(OutlineOf(root, false, &plain), outline + "}");
  EXPECT_NE(plain.find("<moxmsg><version"), std::string::npos);
  for (const auto& child : ParseXml(plain).children) EXPECT_TRUE(child.textBeforeElements);
  testing::internal::CaptureStdout();
  EXPECT_EQ(root.Serialize(nullptr, nullptr, false, nullptr, nullptr), MOXXMLERR_SUCCESS);
  EXPECT_EQ(ParseXml(testing::internal::GetCapturedStdout()).Outline(), outline + "}");
}

// Whatever keeps one element from being built, a name that no DOM accepts (renamed past the
// tag-name check) or a host's value getter that throws, leaves that element out with its
// content, reported as an error, while the rest is written; an altered value is a warning.
// Without an error callback all go to stderr with one-blank prefixes.
TEST(Serialize, DiagnosticsGoToTheErrorCallbackOrToStandardError) {
  class Throwing : public MoxMsgElement {
   public:
    Throwing() : MoxMsgElement("thrower", "") { AppendElement(Valued("inner", "2")); }
    const std::string& GetTagValueForSerialization() override {
      throw MoxException(42, "Host::Get", "no value today");
    }
    Throwing* Clone() const override { return new Throwing(*this); }
  };
  MoxMsgRootElement root;
  for (const std::string name : {"before", "bad", "after"})
    root.AppendElement(Valued(name, name != "bad" ? "1" : "x"));
  root.UpdateElementByVal("a b", "x", XMLNODE_ANY);
  root.AppendElement(Valued("bell", "ring \x07"));
  root.AppendElement(new Throwing());
  Received output, errors;
  ASSERT_EQ(root.Serialize(Collect, &output, false, Collect, &errors), MOXXMLERR_SUCCESS);
  EXPECT_EQ(output.calls, 1);
  EXPECT_EQ(ParseXml(output.text).Outline(), "moxmsg{before=1 after=1 bell=ring \xEF\xBF\xBD}");
  // In document order: 'a b' left out (the DOM's own reason), the bell's value, the thrower.
  const std::string kError = "\nError Message:    ", kWarning = "\nWarning Message:  ";
  const std::string kTail =
      kWarning +
      "The value of attribute 'v' of element 'bell' was written altered: characters that XML "
      "1.0 forbids became U+FFFD." +
      kError + "Element 'thrower' was left out with its content: no value today";
  const std::string kLeftOut = kError + "Element 'a b' was left out with its content: ";
  EXPECT_EQ(errors.calls, 3);
  ASSERT_GT(errors.text.size(), kLeftOut.size() + kTail.size());
  EXPECT_EQ(errors.text.substr(0, kLeftOut.size()), kLeftOut);
  EXPECT_EQ(errors.text.substr(errors.text.size() - kTail.size()), kTail);

  // The same diagnostics, each behind its short prefix and ending in a line break.
  std::string onStderr = errors.text;
  for (const auto& [from, to] : {std::pair{kError, std::string("\n\nError Message: ")},
                                 std::pair{kWarning, std::string("\n\nWarning Message: ")}}) {
    for (size_t at = 0; (at = onStderr.find(from, at)) != std::string::npos; at += to.size())
      onStderr.replace(at, from.size(), to);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(root.Serialize(Collect, &output, false, nullptr, nullptr), MOXXMLERR_SUCCESS);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), onStderr.substr(1) + "\n");
}

// Failures of the callbacks and of the DOM leave Serialize converted; attribute names are
// never checked, so "1a" reaches the DOM (DOMException::INVALID_CHARACTER_ERR, 5).
TEST(Serialize, FailuresArriveConverted) {
  // clang-format off
  const struct { SerializeCallback output, error; int code; const char* text; } kRows[] = {
      {ThrowMox, Collect, 77, "host said no"}, {Collect, ThrowMox, 77, "host said no"},
      {ThrowOther, Collect, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {Collect, ThrowOther, MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {Collect, Collect, 5, ""},  // the DOM's own message
  };
  // clang-format on
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    MoxMsgRootElement root;
    // A control character makes a warning (the value written altered) reach the error callback.
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
}

// Partners' text is written, never refused: bytes that the code page (UTF-8 here, whatever the
// locale) cannot read, and characters that XML 1.0 forbids (C0 controls but tab, LF and CR,
// such as EDI separators; U+FFFE; U+FFFF), become U+FFFD, and a NUL byte ends the text. Each
// altered value is one warning naming its element (and attribute) and every cause; a genuine
// U+FFFD and the characters next to the forbidden ones alter nothing. The serializer used to
// refuse the whole document for one forbidden character. A value longer than a text piece
// (1 MiB) is replaced piece by piece, across the pieces' boundary too. Names are treated alike.
TEST(Serialize, TextThatXmlCannotCarryIsWrittenWithReplacementsAndReported) {
  const std::string kFffd = "\xEF\xBF\xBD";
  const std::string kReplaced = "bytes that are not valid in the process's code page became U+FFFD";
  const std::string kForbidden = "characters that XML 1.0 forbids became U+FFFD";
  const std::string kBoth =
      "bytes that are not valid in the process's code page and characters that XML 1.0 forbids "
      "became U+FFFD";
  const std::string kCut = "it was cut at a NUL byte";
  std::string controls, controlsWritten;
  for (char c = 1; c < 0x20; ++c) {
    controls += c;
    controlsWritten += c == '\t' || c == '\n' || c == '\r' ? std::string(1, c) : kFffd;
  }
  // Separators at 0 and on either side of the first piece's end.
  const std::string run((size_t{1} << 20) - 2, 'x');
  const std::string piecesWith = "\x1D" + run + "\x1D\x1D" + "tail",
                    piecesWritten = kFffd + run + kFffd + kFffd + "tail";
  const struct {
    std::string value, written, reason;
  } kRows[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       ""},
      {"Bestellung_M\xE4rz.edi", "Bestellung_M" + kFffd + "rz.edi", kReplaced},
      {"a\x80z", "a" + kFffd + "z", kReplaced},
      {"\xC3", kFffd, kReplaced},
      {"\xED\xA0\x80", kFffd + kFffd + kFffd, kReplaced},  // a UTF-16 surrogate in UTF-8
      {"x" + kFffd, "x" + kFffd, ""},
      {{"a\0b", 3}, "a", kCut},
      {{"\0", 1}, "", kCut},
      {{"caf\xE9\0tail", 9}, "caf" + kFffd, kReplaced + ", and " + kCut},
      {"UNA:+.? 'UNB\x1CX\x1DY\x1EZ\x1F",
       "UNA:+.? 'UNB" + kFffd + "X" + kFffd + "Y" + kFffd + "Z" + kFffd, kForbidden},
      {controls, controlsWritten, kForbidden},
      {"x\xEF\xBF\xBE", "x" + kFffd, kForbidden},  // U+FFFE
      {"\xEF\xBF\xBF", kFffd, kForbidden},         // U+FFFF
      {"caf\xC3\xA9\x02", "caf\xC3\xA9" + kFffd, kForbidden},
      {"caf\xE9\x02", "caf" + kFffd + kFffd, kBoth},
      {{"a\x01\0b", 4}, "a" + kFffd, kForbidden + ", and " + kCut},
      {{"\xE9\x1F\0", 3}, kFffd + kFffd, kBoth + ", and " + kCut},
      // DEL, U+0080, U+009F, U+D7FF, U+E000, U+10000, U+10FFFF: all allowed.
      {"\x7F \xC2\x80 \xC2\x9F \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF",
       "\x7F \xC2\x80 \xC2\x9F \xED\x9F\xBF \xEE\x80\x80 \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", ""},
      {piecesWith, piecesWritten, kForbidden},
  };
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    for (const auto& row : kRows) {
      SCOPED_TRACE(std::string(locale) + ": " + row.written.substr(0, 60));
      MoxMsgRootElement root;
      root.AppendElement(Valued("m", row.value));
      root.AppendElement(new TypedElement(MSGNODE_ELEMENT, "t", row.value));
      Received output, errors;
      ASSERT_EQ(root.Serialize(Collect, &output, false, Collect, &errors), MOXXMLERR_SUCCESS);
      const moxxml_test::ParsedNode doc = ParseXml(output.text);
      EXPECT_TRUE(doc.At("m").Attr("v") == row.written) << doc.At("m").Attr("v").substr(0, 60);
      EXPECT_TRUE(doc.At("t").text == row.written) << doc.At("t").text.substr(0, 60);
      const std::string warning = "\nWarning Message:  ";
      const std::string tail = " was written altered: " + row.reason + ".";
      EXPECT_EQ(errors.text, row.reason.empty()
                                 ? ""
                                 : warning + "The value of attribute 'v' of element 'm'" + tail +
                                       warning + "The value of element 't'" + tail);
      EXPECT_EQ(errors.calls, row.reason.empty() ? 0 : 2);
    }
  }
  std::setlocale(LC_ALL, saved.c_str());

  // Names (a root's too), and the one-blank prefix on standard error.
  MoxMsgRootElement root;
  auto* element = Valued("m", "1");
  element->AppendAttribute(new MoxMsgAttr({"a\0b", 3}, "2"));
  element->AppendAttribute(new MoxMsgAttr("c\x02", "3"));
  root.AppendElement(element);
  root.UpdateElementByVal("n\xE4me", "1", XMLNODE_ANY);  // renames past the tag-name check
  testing::internal::CaptureStderr();
  Received output;
  ASSERT_EQ(root.Serialize(Collect, &output, false, nullptr, nullptr), MOXXMLERR_SUCCESS);
  const moxxml_test::ParsedNode doc = ParseXml(output.text);
  const moxxml_test::ParsedNode& renamed = doc.At("n" + kFffd + "me");
  EXPECT_EQ(renamed.Attr("v") + renamed.Attr("a") + renamed.Attr("c" + kFffd), "123");
  const std::string of = "' of element 'n" + kFffd + "me' was written altered: ";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nWarning Message: The name of element 'n" + kFffd + "me' was written altered: " +
                kReplaced + ".\n\nWarning Message: The name of attribute 'a" + of + kCut +
                ".\n\nWarning Message: The name of attribute 'c" + kFffd + of + kForbidden + ".\n");
  TypedElement typedRoot(MSGNODE_ROOT, "r\x03");
  Received rootOutput, rootErrors;
  ASSERT_EQ(typedRoot.Serialize(Collect, &rootOutput, false, Collect, &rootErrors),
            MOXXMLERR_SUCCESS);
  EXPECT_EQ(ParseXml(rootOutput.text).name, "r" + kFffd);
  EXPECT_EQ(rootErrors.text, "\nWarning Message:  The name of element 'r" + kFffd +
                                 "' was written altered: " + kForbidden + ".");
}

// Under a host that holds the platform itself, which Serialize must leave up: the refusals, a
// failure that leaves the document with the caller, and long values. Serialize writes these in
// pieces, which must read back as the value with escapes across the piece boundaries (else the
// text would not parse or would differ); the DOM handed to the host (built with "Core" when
// given no implementation) has one text node.
TEST(GetXercesDOMRepresentation, UnderAHostHeldPlatformLongTextStaysOneTextNode) {
  constexpr size_t kSize = (size_t{5} << 19) + 3;
  std::string ascii(kSize, 'x');
  for (size_t at = size_t{1} << 20; at < kSize; at += size_t{1} << 20)
    ascii.replace(at - 2, 5, "]]>\r&");
  ascii.replace(kSize - 4, 4, "<\r\n\t");
  std::string utf8;
  while (utf8.size() < kSize) utf8 += "caf\xC3\xA9 ]]> ";
  const char kGet[] = "MoxXMLObject::GetXercesDOMRepresentation";
  xercesc::XMLPlatformUtils::Initialize();
  MoxMsgRootElement root;
  root.AppendElement(Valued("version", "1.0"));
  ExpectRefusal([&] { root.GetXercesDOMRepresentation(nullptr, nullptr); }, MOXXMLERR_NULL_POINTER,
                kGet, "Null pointer exception.");
  xercesc::DOMDocument* document = nullptr;
  ExpectRefusal([&] { MoxMsgElement().GetXercesDOMRepresentation(&document, nullptr); },
                MOXXMLERR_ROOT_NODE_ONLY, kGet,
                "The requested action can only be performed with the root node.");
  EXPECT_EQ(document, nullptr);
  root.GoToBeforeFirstChild();
  root.GetNextChild()->AppendAttribute(new MoxMsgAttr("1a", "x"));
  EXPECT_THROW(root.GetXercesDOMRepresentation(&document, nullptr), MoxException);
  ASSERT_NE(document, nullptr);
  document->release();
  for (const std::string& value : {ascii, utf8}) {
    SCOPED_TRACE(value.substr(0, 8));
    MoxMsgRootElement longRoot;
    longRoot.AppendElement(new TypedElement(MSGNODE_ELEMENT, "t", value));
    std::string output;
    OutlineOf(longRoot, false, &output);
    EXPECT_TRUE(ParseXml(output).At("t").text == value);
    ASSERT_EQ(longRoot.GetXercesDOMRepresentation(&document, nullptr), MOXXMLERR_SUCCESS);
    const xercesc::DOMNode* text = document->getDocumentElement()->getFirstChild()->getFirstChild();
    EXPECT_TRUE(text != nullptr && text->getNextSibling() == nullptr);
    document->release();
  }
  xercesc::XMLPlatformUtils::Terminate();
}

// A document longer than INT_MAX bytes cannot be handed to the int-length callback: it is
// refused with code 9 and the table's text, and the callback is never called. Each '&' is
// written as "&amp;", so 430 MiB of them make 2.2 GB of text. Manual (not in CI): it needs
// about 6 GB and a minute; run it with --gtest_also_run_disabled_tests
// --gtest_filter='HugeSerialize.*'. The peak memory of large documents is measured by
// bench/payload_bench.
TEST(HugeSerialize, DISABLED_TextLongerThanIntMaxIsRefused) {
  MoxMsgRootElement root;
  root.AppendElement(
      new TypedElement(MSGNODE_ELEMENT, "payload", std::string(size_t{430} << 20, '&')));
  Received output, errors;
  ExpectRefusal([&] { root.Serialize(Collect, &output, false, Collect, &errors); },
                MOXXMLERR_OUT_OF_MEMORY, kSerialize, "Out of memory.");
  EXPECT_EQ(output.calls, 0);
}

}  // namespace
