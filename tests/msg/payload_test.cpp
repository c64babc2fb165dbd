// MoxMsgPayload: encodings on the way in and out, the "filter" attribute, and what is written.
// Its containment rows (a leaf taking message attributes) are in the element tests.
#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/serialize.h"

namespace {

using namespace MoxXML;
using namespace MoxXML::MoxMsg;
using moxxml_test::ExpectRefusal;

const std::string kBinary = [] {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const char kTail[] = "\0\0 \r\n trailing \t\r\n";
  return all + std::string(kTail, sizeof kTail - 1) + all;
}();

// The attributes as "name=value;" each, in list order.
std::string Attributes(MoxXMLElement& element) {
  std::string text;
  element.GoToBeforeFirstAttribute();
  while (MoxXMLAttr* a = element.GetNextAttribute())
    text += a->GetTagName() + "=" + a->GetTagValue() + ";";
  return text;
}

// By type: the stored text is the value (types 0 to 3, only characters XML carries) or its
// encoding, decoded again on every read, and written as text with the "filter" attribute.
TEST(Payload, EveryTypeStoresWritesAndReturnsTheValue) {
  const char* const kFilter[] = {"",
                                 " filter=7bit",
                                 " filter=8bit",
                                 " filter=binary",
                                 " filter=quoted-printable",
                                 " filter=base64"};
  for (int type = MOXFILTER_NONE; type <= MOXFILTER_BASE64; ++type) {
    SCOPED_TRACE(type);
    const bool encoded = type >= MOXFILTER_QUOTED_PRINTABLE;
    const std::string value = encoded ? kBinary : std::string("text <&> \"]]>\" end");
    auto* payload = new MoxMsgPayload();
    payload->SetTagName("payload");
    payload->SetFilterType(static_cast<MOXFILTER_TYPES>(type));
    payload->SetTagValue(value);
    EXPECT_EQ(payload->GetTagValue(), value);
    EXPECT_EQ(payload->GetTagValue(), value);  // decoded again, same result
    const std::string stored = payload->GetTagValueForSerialization();
    EXPECT_EQ(stored == value, !encoded);
    MoxMsgRootElement root;
    root.AppendElement(payload);
    EXPECT_EQ(moxxml_test::ParseXml(moxxml_test::SerializeToString(root)).Outline(),
              "moxmsg{payload" + (kFilter[type] + (" \"" + stored + "\"}")));
  }
}

// A new payload is unencoded; "abc" is stored as base64 "YWJj"; a later type change keeps
// the stored text and decodes it by the new type; a copy keeps its own type, text and attribute.
TEST(Payload, StoredTextTypeChangesAndCopies) {
  MoxMsgPayload payload;
  EXPECT_EQ(payload.GetFilterType(), MOXFILTER_NONE);
  payload.SetTagValue("eA==");
  payload.SetFilterType(MOXFILTER_BASE64);
  EXPECT_EQ(payload.GetTagValueForSerialization(), "eA==");
  EXPECT_EQ(payload.GetTagValue(), "x");
  payload.SetTagValue("abc");
  EXPECT_EQ(payload.GetTagValueForSerialization().substr(0, 4), "YWJj");
  MoxMsgPayload copy(payload);
  payload.SetFilterType(MOXFILTER_NONE);
  payload.SetTagValue("changed");
  EXPECT_EQ(copy.GetFilterType(), MOXFILTER_BASE64);
  EXPECT_EQ(copy.GetTagValue(), "abc");
  EXPECT_EQ(Attributes(copy) + "|" + Attributes(payload), "filter=base64;|");
}

// Rows: first type, second type, the attributes after both.
TEST(Payload, FilterAttributeFollowsTheLastType) {
  const auto kUnknown = static_cast<MOXFILTER_TYPES>(9);
  using Row = std::tuple<MOXFILTER_TYPES, MOXFILTER_TYPES, std::string>;
  for (const auto& [first, second, attributes] :
       {Row{MOXFILTER_QUOTED_PRINTABLE, MOXFILTER_NONE, ""},
        Row{MOXFILTER_7BIT, MOXFILTER_8BIT, "filter=8bit;"},
        Row{MOXFILTER_BASE64, MOXFILTER_BASE64, "filter=base64;"},
        Row{MOXFILTER_BASE64, kUnknown, ""}}) {
    SCOPED_TRACE(second);
    MoxMsgPayload payload;
    payload.SetFilterType(first);
    payload.SetFilterType(second);
    EXPECT_EQ(payload.GetFilterType(), second);
    EXPECT_EQ(Attributes(payload), attributes);
  }
}

TEST(Payload, UnknownTypeRefusesSetAndGet) {
  MoxMsgPayload payload;
  payload.SetTagValue("kept");
  payload.SetFilterType(static_cast<MOXFILTER_TYPES>(9));
  ExpectRefusal([&] { payload.SetTagValue("x"); }, MOXXMLERR_OUT_OF_MEMORY,
                "MoxMsgPayload::SetTagValue", "Out of memory.");
  ExpectRefusal([&] { payload.GetTagValue(); }, MOXXMLERR_OUT_OF_MEMORY,
                "MoxMsgPayload::GetTagValue", "Out of memory.");
  EXPECT_EQ(payload.GetTagValueForSerialization(), "kept");
}

}  // namespace
