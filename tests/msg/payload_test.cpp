// MoxMsgPayload: encodings on the way in and out, the "filter" attribute, and what is written.
#include <gtest/gtest.h>
#include <string>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/serialize.h"

namespace {

using namespace MoxXML;
using namespace MoxXML::MoxMsg;
using moxxml_test::ExpectRefusal;
using moxxml_test::RefusalOf;

const std::string kBinary = [] {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const char kTail[] = "\0\0 \r\n trailing \t\r\n";
  return all + std::string(kTail, sizeof kTail - 1) + all;
}();

// The payload serialised under a root, parsed back.
moxxml_test::ParsedNode Written(MoxMsgPayload* payload) {
  MoxMsgRootElement root;
  root.AppendElement(payload);
  return moxxml_test::ParseXml(moxxml_test::SerializeToString(root)).At("payload");
}

TEST(Payload, EveryTypeStoresWritesAndReturnsTheValue) {
  const struct {
    MOXFILTER_TYPES type;
    const char* filter;  // null: no attribute
    bool encoded;
  } kRows[] = {
      {MOXFILTER_NONE, nullptr, false},
      {MOXFILTER_7BIT, "7bit", false},
      {MOXFILTER_8BIT, "8bit", false},
      {MOXFILTER_BINARY, "binary", false},
      {MOXFILTER_QUOTED_PRINTABLE, "quoted-printable", true},
      {MOXFILTER_BASE64, "base64", true},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.type);
    // Plain types are written as text, so only characters XML can carry are used for them.
    const std::string value = row.encoded ? kBinary : std::string("text <&> \"]]>\" end");
    auto* payload = new MoxMsgPayload();
    payload->SetTagName("payload");
    payload->SetFilterType(row.type);
    payload->SetTagValue(value);
    EXPECT_EQ(payload->GetTagValue(), value);
    EXPECT_EQ(payload->GetTagValue(), value);  // decoded again, same result
    EXPECT_EQ(payload->GetTagValueForSerialization() == value, !row.encoded);
    const std::string stored = payload->GetTagValueForSerialization();
    moxxml_test::ParsedNode node = Written(payload);
    EXPECT_EQ(node.text, stored);
    EXPECT_EQ(node.Has("filter"), row.filter != nullptr);
    if (row.filter) {
      EXPECT_EQ(node.Attr("filter"), row.filter);
    }
    EXPECT_TRUE(node.children.empty());
  }
}

// A new payload is unencoded; "abc" is stored as base64 "YWJj"; a later type change keeps
// the stored text and decodes it by the new type.
TEST(Payload, StoredTextAndTypeChanges) {
  MoxMsgPayload payload;
  EXPECT_EQ(payload.GetFilterType(), MOXFILTER_NONE);
  payload.SetTagValue("eA==");
  payload.SetFilterType(MOXFILTER_BASE64);
  EXPECT_EQ(payload.GetTagValueForSerialization(), "eA==");
  EXPECT_EQ(payload.GetTagValue(), "x");
  payload.SetTagValue("abc");
  EXPECT_EQ(payload.GetTagValueForSerialization().substr(0, 4), "YWJj");
  EXPECT_EQ(payload.GetTagValue(), "abc");
}

TEST(Payload, FilterAttributeFollowsTheLastType) {
  const struct {
    MOXFILTER_TYPES first, second;
    const char* filter;
  } kRows[] = {
      {MOXFILTER_QUOTED_PRINTABLE, MOXFILTER_NONE, nullptr},
      {MOXFILTER_7BIT, MOXFILTER_8BIT, "8bit"},
      {MOXFILTER_BASE64, MOXFILTER_BASE64, "base64"},
      {MOXFILTER_BASE64, static_cast<MOXFILTER_TYPES>(9), nullptr},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.second);
    MoxMsgPayload payload;
    payload.SetFilterType(row.first);
    payload.SetFilterType(row.second);
    EXPECT_EQ(payload.GetFilterType(), row.second);
    int count = 0;
    payload.GoToBeforeFirstAttribute();
    while (MoxXMLAttr* a = payload.GetNextAttribute()) {
      ++count;
      EXPECT_EQ(a->GetTagName(), "filter");
      EXPECT_EQ(a->GetTagValue(), row.filter);
    }
    EXPECT_EQ(count, row.filter ? 1 : 0);
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

TEST(Payload, IsALeafThatTakesOnlyMessageAttributes) {
  MoxMsgPayload payload;
  MoxMsgElement child;
  child.SetTagName("Child");
  EXPECT_EQ(std::get<0>(RefusalOf([&] { payload.AppendElement(&child); })),
            MOXXMLERR_INVALID_ELEMENT_TYPE);
  EXPECT_EQ(child.GetTagName(), "child");  // renamed before it was refused
  MoxXMLAttr plain("a", "b");
  EXPECT_THROW(payload.AppendAttribute(&plain), MoxException);
  EXPECT_EQ(payload.AppendAttribute(new MoxMsgAttr("a", "b")), MOXXMLERR_SUCCESS);
}

TEST(Payload, CopiesAreIndependent) {
  MoxMsgPayload source;
  source.SetFilterType(MOXFILTER_BASE64);
  source.SetTagValue(kBinary);
  MoxMsgPayload copy(source);
  source.SetFilterType(MOXFILTER_NONE);
  source.SetTagValue("changed");
  EXPECT_EQ(copy.GetFilterType(), MOXFILTER_BASE64);
  EXPECT_EQ(copy.GetTagValue(), kBinary);
  EXPECT_TRUE(copy.AttributeExists("filter"));
  EXPECT_FALSE(source.AttributeExists("filter"));
}

}  // namespace
