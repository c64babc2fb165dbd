// MoxMsgPayload: encodings on the way in and out, the "filter" attribute, and what is written.
// Its containment rows (a leaf taking message attributes) are in the element tests.
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
// encoding, decoded again on every read, and written as text with the "filter" attribute. A
// value read and stored again stays the same.
TEST(Payload, EveryTypeStoresWritesAndReturnsTheValue) {
  const std::string kFilter[] = {"", "7bit", "8bit", "binary", "quoted-printable", "base64"};
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
    // Stored again from the reference that GetTagValue gives, its decoding buffer: the encoder
    // once emptied that buffer before reading it.
    payload->SetTagValue(payload->GetTagValue());
    EXPECT_EQ(payload->GetTagValue(), value);
    const std::string stored = payload->GetTagValueForSerialization();
    EXPECT_EQ(stored == value, !encoded);
    MoxMsgRootElement root;
    root.AppendElement(payload);
    EXPECT_EQ(moxxml_test::ParseXml(moxxml_test::SerializeToString(root)).Outline(),
              "moxmsg{payload" + (type ? " filter=" + kFilter[type] : "") + " \"" + stored + "\"}");
  }
}

// A new payload is unencoded; a later type change keeps the stored text and decodes it by
// the new type; the "filter" attribute follows the last type, none for no encoding or an
// unknown type; an unknown type refuses to encode or decode and keeps the stored text; a copy
// keeps its own type, text and attribute.
TEST(Payload, TypeChangesKeepTheStoredTextAndCopiesTheirOwn) {
  MoxMsgPayload payload;
  EXPECT_EQ(payload.GetFilterType(), MOXFILTER_NONE);
  payload.SetTagValue("eA==");
  payload.SetFilterType(MOXFILTER_BASE64);
  EXPECT_EQ(payload.GetTagValueForSerialization() + "|" + payload.GetTagValue(), "eA==|x");
  payload.SetTagValue("abc");
  const std::string stored = payload.GetTagValueForSerialization();
  EXPECT_EQ(stored.substr(0, 4), "YWJj");
  MoxMsgPayload copy(payload);
  const auto kUnknown = static_cast<MOXFILTER_TYPES>(9);
  std::string types;  // the type in force and the attributes after each change
  for (auto type : {MOXFILTER_BASE64, MOXFILTER_7BIT, MOXFILTER_NONE, MOXFILTER_8BIT, kUnknown}) {
    payload.SetFilterType(type);
    types += std::to_string(payload.GetFilterType()) + ":" + Attributes(payload) + " ";
  }
  EXPECT_EQ(types, "5:filter=base64; 1:filter=7bit; 0: 2:filter=8bit; 9: ");
  ExpectRefusal([&] { payload.SetTagValue("x"); }, MOXXMLERR_OUT_OF_MEMORY,
                "MoxMsgPayload::SetTagValue", "Out of memory.");
  ExpectRefusal([&] { payload.GetTagValue(); }, MOXXMLERR_OUT_OF_MEMORY,
                "MoxMsgPayload::GetTagValue", "Out of memory.");
  EXPECT_EQ(payload.GetTagValueForSerialization(), stored);
  EXPECT_EQ(copy.GetFilterType(), MOXFILTER_BASE64);
  EXPECT_EQ(copy.GetTagValue() + "|" + Attributes(copy), "abc|filter=base64;");
}

}  // namespace
