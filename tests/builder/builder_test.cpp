// MoxMsgBuilder: the document shape, order rules, failures and copies, checked on parsed output.
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

using MoxXML::MoxMsg::MOXFILTER_TYPES;
using moxxml_test::ParsedNode;
using moxxml_test::ParseXml;
using moxxml_test::RefusalOf;
using Names = std::vector<std::string>;

// Serialises, checks the text against the schema, and parses it.
ParsedNode Document(MoxMsgBuilder& builder, bool pretty = false) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, pretty);
  EXPECT_EQ(diagnostics, "");
  EXPECT_EQ(moxxml_test::ValidateAgainstSchema(xml), "") << xml;
  return ParseXml(xml);
}

std::string Text(MoxMsgBuilder& builder) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  return xml;
}

// Owns a header context parsed from text.
struct Headers {
  explicit Headers(const std::string& text) : context(MIMEInit()) {
    mime_error_context* error = InitMIMEERRORCTX();
    EXPECT_GE(MIMEParse(context, text.c_str(), static_cast<int>(text.size()), 0, error), 0);
    FreeMIMEERRORCTX(error);
  }
  ~Headers() { MIMEFree(context); }
  mime_header_context* context;
};

TEST(Builder, NewBuilderHoldsOnlyTheVersion) {
  MoxMsgBuilder builder;
  ParsedNode doc = Document(builder);
  EXPECT_EQ(doc.name, "moxmsg");
  EXPECT_TRUE(doc.attributes.empty());
  EXPECT_EQ(doc.ChildNames(), Names{"version"});
  EXPECT_EQ(doc.At("version").Attr("v"), "1.0");
  EXPECT_EQ(doc.At("version").attributes.size(), 1u);
}

using Setter = void (MoxMsgBuilder::*)(const std::string&);
const struct {
  Setter setter;
  const char* path;
} kSetters[] = {
    {&MoxMsgBuilder::SetApplInfoName, "applinfo/name"},
    {&MoxMsgBuilder::SetApplInfoVersion, "applinfo/version"},
    {&MoxMsgBuilder::SetApplInfoInstance, "applinfo/instance"},
    {&MoxMsgBuilder::SetApplInfoMsgId, "applinfo/msgid"},
    {&MoxMsgBuilder::SetApplInfoType, "applinfo/type"},
    {&MoxMsgBuilder::SetApplInfoTimestamp, "applinfo/timestamp"},
    {&MoxMsgBuilder::SetApplInfoStatus, "applinfo/status"},
    {&MoxMsgBuilder::SetApplInfoStatusCode, "applinfo/statuscode"},
    {&MoxMsgBuilder::SetApplInfoStatusText, "applinfo/statustext"},
    {&MoxMsgBuilder::SetTransportOrigin, "transport/origin"},
    {&MoxMsgBuilder::SetTransportDestination, "transport/destination"},
    {&MoxMsgBuilder::SetMsgInfoType, "msginfo/type"},
    {&MoxMsgBuilder::SetMsgInfoDirection, "msginfo/direction"},
    {&MoxMsgBuilder::SetMsgInfoUserRefID, "msginfo/userrefid"},
    {&MoxMsgBuilder::SetMsgInfoOriginalFilename, "msginfo/originalfilename"},
    {&MoxMsgBuilder::SetMsgInfoAS1To, "msginfo/as1to"},
    {&MoxMsgBuilder::SetMsgInfoAS1From, "msginfo/as1from"},
    {&MoxMsgBuilder::SetDataLocationType, "msginfo/datalocation/type"},
    {&MoxMsgBuilder::SetDataLocationHost, "msginfo/datalocation/host"},
    {&MoxMsgBuilder::SetDataLocationLocation, "msginfo/datalocation/location"},
};

TEST(Builder, EverySetterCalledTwiceLeavesOneElementWithTheSecondValue) {
  for (const auto& row : kSetters) {
    SCOPED_TRACE(row.path);
    MoxMsgBuilder builder;
    (builder.*row.setter)("first <&\"]]>");
    (builder.*row.setter)("second <&\"]]>");
    ParsedNode doc = Document(builder);
    const std::string path(row.path);
    const ParsedNode& element = doc.At(path);
    EXPECT_EQ(element.Attr("v"), "second <&\"]]>");
    EXPECT_EQ(element.attributes.size(), 1u);
    EXPECT_TRUE(element.children.empty());
    EXPECT_EQ(element.text, "");
    // Exactly one element of that name under its parent.
    const ParsedNode& parent = doc.At(path.substr(0, path.rfind('/')));
    const std::string name = path.substr(path.rfind('/') + 1);
    const Names siblings = parent.ChildNames();
    EXPECT_EQ(std::count(siblings.begin(), siblings.end(), name), 1);
  }
}

TEST(Builder, FirstCallsDecideChildOrderWithinASection) {
  MoxMsgBuilder builder;
  builder.SetApplInfoStatus("ok");
  builder.SetApplInfoName("gateway");
  builder.SetApplInfoStatus("failed");  // updates in place, does not move
  builder.SetMsgInfoAS1From("a");
  builder.SetDataLocationHost("h");
  builder.SetDataLocationType("t");
  builder.SetMsgInfoAS1To("b");
  builder.SetDataLocationHost("h2");
  builder.SetApplInfoStatusText("");  // an empty value is stored too
  ParsedNode doc = Document(builder);
  EXPECT_EQ(doc.At("applinfo").ChildNames(), (Names{"status", "name", "statustext"}));
  EXPECT_EQ(doc.At("applinfo/statustext").Attr("v"), "");
  EXPECT_EQ(doc.At("msginfo").ChildNames(), (Names{"as1from", "datalocation", "as1to"}));
  EXPECT_EQ(doc.At("msginfo/datalocation").ChildNames(), (Names{"host", "type"}));
  EXPECT_EQ(doc.At("msginfo/datalocation/host").Attr("v"), "h2");
}

TEST(Builder, SectionsFollowTheFixedOrderWhateverTheCallOrder) {
  MoxMsgBuilder builder;
  builder.SetPayload("data", MoxXML::MoxMsg::MOXFILTER_NONE);
  builder.SetMsgInfoType("mdn");
  builder.SetTransportOrigin("o");
  builder.SetApplInfoName("n");
  EXPECT_EQ(Document(builder).ChildNames(),
            (Names{"version", "applinfo", "transport", "msginfo", "payload"}));
}

TEST(Builder, SectionCreatedAfterSerializeStandsBehindEarlierOnes) {
  MoxMsgBuilder builder;
  builder.SetPayload("data", MoxXML::MoxMsg::MOXFILTER_NONE);
  builder.SetApplInfoType("first");
  Text(builder);
  builder.SetMsgInfoType("late");
  builder.SetApplInfoType("second");
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  // The schema fixes the order of a document serialised once; a section created later is
  // attached behind the others, so this document is outside that order on purpose.
  ParsedNode doc = ParseXml(xml);
  EXPECT_EQ(doc.ChildNames(), (Names{"version", "applinfo", "payload", "msginfo"}));
  EXPECT_EQ(doc.At("applinfo/type").Attr("v"), "second");
  EXPECT_EQ(doc.At("applinfo").children.size(), 1u);
}

TEST(Builder, SerializeAppendsBehindExistingText) {
  MoxMsgBuilder builder;
  std::string xml = "existing", diagnostics = "old";
  builder.Serialize(xml, diagnostics, false);
  ASSERT_EQ(xml.compare(0, 8, "existing"), 0);
  EXPECT_EQ(ParseXml(xml.substr(8)).name, "moxmsg");
  EXPECT_EQ(diagnostics, "old");
  const std::string once = xml.substr(8);
  builder.Serialize(xml, diagnostics, false);
  EXPECT_EQ(xml, "existing" + once + once);
  // Pretty printing gives more lines and the same tree.
  builder.SetTransportOrigin("o");
  std::string flat, pretty;
  builder.Serialize(flat, diagnostics, false);
  builder.Serialize(pretty, diagnostics, true);
  EXPECT_GT(std::count(pretty.begin(), pretty.end(), '\n'),
            std::count(flat.begin(), flat.end(), '\n'));
  EXPECT_EQ(ParseXml(pretty).At("transport/origin").Attr("v"), "o");
  EXPECT_EQ(ParseXml(flat).At("transport/origin").Attr("v"), "o");
}

TEST(Builder, SecondTransportProtocolCallUpdatesNameAndAddsHeaders) {
  MoxMsgBuilder builder;
  builder.AddTransportProtocol(
      "HTTP", "1.0", "Host: a\r\nContent-Type: text/plain; charset=us-ascii\r\n", nullptr);
  builder.AddTransportProtocol("AS2", "1.1", "AS2-From: x\r\n", nullptr);
  ParsedNode doc = Document(builder);
  ASSERT_EQ(doc.At("transport").ChildNames(), Names{"transprotocol"});
  const ParsedNode& protocol = doc.At("transport/transprotocol");
  EXPECT_EQ(protocol.ChildNames(), (Names{"name", "version", "headers"}));
  EXPECT_EQ(protocol.At("name").Attr("v"), "AS2");
  EXPECT_EQ(protocol.At("version").Attr("v"), "1.1");
  EXPECT_EQ(protocol.At("headers").ChildNames(), (Names{"host", "content-type", "as2-from"}));
  EXPECT_EQ(protocol.At("headers/content-type").Attr("v"), "text/plain");
  EXPECT_EQ(protocol.At("headers/content-type/parms/charset").Attr("v"), "us-ascii");
}

TEST(Builder, HeadersAddedBeforeTheProtocolStandFirst) {
  MoxMsgBuilder builder;
  Headers headers("Message-ID: <1@x>\r\n");
  builder.AddTransportProtocolHeaders(headers.context);
  builder.AddTransportProtocol("AS2", "1.2", "", headers.context);
  ParsedNode doc = Document(builder);
  const ParsedNode& protocol = doc.At("transport/transprotocol");
  EXPECT_EQ(protocol.ChildNames(), (Names{"headers", "name", "version"}));
  EXPECT_EQ(protocol.At("headers").ChildNames(), (Names{"message-id", "message-id"}));
}

TEST(Builder, NullHeaderContextIsRefusedAfterCreatingTheProtocol) {
  MoxMsgBuilder builder;
  auto [code, where, text] = RefusalOf([&] { builder.AddTransportProtocolHeaders(nullptr); });
  EXPECT_EQ(code, MoxXML::MOXXMLERR_NULL_POINTER);
  EXPECT_EQ(where, "MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs");
  EXPECT_EQ(Document(builder).At("transport").ChildNames(), Names{"transprotocol"});
}

TEST(Builder, EachSecurityProtocolCallAddsOneSecprotocol) {
  MoxMsgBuilder builder;
  Headers extra("X-Extra: 1\r\n");
  builder.AddTransportSecurityProtocol("S/MIME", "3.2",
                                       "Content-Type: application/pkcs7-signature\r\n", nullptr);
  builder.AddTransportSecurityProtocol("TLS", "1.3", "", extra.context);
  builder.SetTransportOrigin("o");
  ParsedNode doc = Document(builder);
  EXPECT_EQ(doc.At("transport").ChildNames(), (Names{"security", "origin"}));
  const ParsedNode& security = doc.At("transport/security");
  ASSERT_EQ(security.ChildNames(), (Names{"secprotocol", "secprotocol"}));
  EXPECT_EQ(security.children[0].At("name").Attr("v"), "S/MIME");
  EXPECT_EQ(security.children[0].At("headers").ChildNames(), Names{"content-type"});
  EXPECT_EQ(security.children[1].At("name").Attr("v"), "TLS");
  EXPECT_EQ(security.children[1].At("version").Attr("v"), "1.3");
  EXPECT_EQ(security.children[1].At("headers").ChildNames(), Names{"x-extra"});
}

TEST(Builder, RejectedHeaderTextKeepsNameAndVersion) {
  for (bool security : {false, true}) {
    SCOPED_TRACE(security);
    MoxMsgBuilder builder;
    try {
      if (security) {
        builder.AddTransportSecurityProtocol("S", "2", "not a header line\r\n", nullptr);
      } else {
        builder.AddTransportProtocol("AS2", "1.1", "not a header line\r\n", nullptr);
      }
      FAIL() << "no exception";
    } catch (const MoxException& e) {
      EXPECT_LT(e.GetResultCode(), 0);
      EXPECT_EQ(e.GetText().rfind("MIMEParse failed.\n", 0), 0u) << e.GetText();
      EXPECT_GT(e.GetText().size(), std::string("MIMEParse failed.\n").size());
      EXPECT_EQ(e.GetWhere(), "");
    }
    ParsedNode doc = Document(builder);
    const ParsedNode& protocol =
        security ? doc.At("transport/security/secprotocol") : doc.At("transport/transprotocol");
    EXPECT_EQ(protocol.ChildNames(), (Names{"name", "version"}));
  }
}

TEST(Builder, HeaderNameThatIsNoTagNameThrowsCode14) {
  MoxMsgBuilder builder;
  EXPECT_EQ(std::get<0>(RefusalOf([&] {
              builder.AddTransportProtocol("AS2", "1.1", "Good: 1\r\nX(bad): 2\r\n", nullptr);
            })),
            MoxXML::MOXXMLERR_INVALID_TAG_NAME);
  ParsedNode doc = Document(builder);
  EXPECT_EQ(doc.At("transport/transprotocol").ChildNames(), (Names{"name", "version"}));
}

TEST(Builder, NullMimeTargetLeavesAnEmptyMime) {
  MoxMsgBuilder builder;
  EXPECT_THROW(builder.SetMsgInfoMime(nullptr), MoxException);
  ParsedNode doc = Document(builder);
  EXPECT_TRUE(doc.At("msginfo/mime").children.empty());
}

TEST(Builder, EachSetMsgInfoMimeAddsOneMimepart) {
  const std::string message =
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
      "--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
      "Final-Recipient: rfc822; a@b\r\nDisposition: automatic-action/MDN-sent-automatically; "
      "processed\r\n\r\n--b--\r\n";
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  MIMEMessageParser parser(target);
  ASSERT_EQ(parser.Update(message.data(), static_cast<int>(message.size())), 0);
  ASSERT_EQ(parser.Final(), 0);
  MoxMsgBuilder builder;
  builder.SetMsgInfoMime(&target);
  builder.SetMsgInfoMime(&target);
  ParsedNode doc = Document(builder);
  const ParsedNode& mime = doc.At("msginfo/mime");
  ASSERT_EQ(mime.ChildNames(), (Names{"mimepart", "mimepart"}));
  const ParsedNode& top = mime.children[0];
  EXPECT_EQ(top.ChildNames(), (Names{"headers", "mimepart", "mimepart"}));
  EXPECT_EQ(top.At("headers/content-type").Attr("v"), "multipart/report");
  EXPECT_EQ(top.At("headers/content-type/parms/boundary").Attr("v"), "b");
  EXPECT_EQ(top.children[2].At("headers").ChildNames(),
            (Names{"content-type", "final-recipient", "disposition"}));
  EXPECT_EQ(top.children[2].At("headers/disposition").Attr("v"),
            "automatic-action/MDN-sent-automatically; processed");
}

TEST(Builder, SecondPayloadReplacesEncodingAndValue) {
  const std::string binary("a\0b\xff\r\n=x", 8);
  const struct {
    MOXFILTER_TYPES first, second;
    const char* filter;  // expected attribute after the second call, or null
  } kRows[] = {
      {MoxXML::MoxMsg::MOXFILTER_BASE64, MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE,
       "quoted-printable"},
      {MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE, MoxXML::MoxMsg::MOXFILTER_BASE64, "base64"},
      {MoxXML::MoxMsg::MOXFILTER_BASE64, MoxXML::MoxMsg::MOXFILTER_NONE, nullptr},
      {MoxXML::MoxMsg::MOXFILTER_NONE, MoxXML::MoxMsg::MOXFILTER_7BIT, "7bit"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.second);
    MoxMsgBuilder builder;
    builder.SetPayload("first", row.first);
    const bool encoded = row.second == MoxXML::MoxMsg::MOXFILTER_BASE64 ||
                         row.second == MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE;
    const std::string value = encoded ? binary : std::string("plain <text> & more");
    builder.SetPayload(value, row.second);
    ParsedNode doc = Document(builder);
    const ParsedNode& payload = doc.At("payload");
    EXPECT_EQ(payload.Has("filter"), row.filter != nullptr);
    if (row.filter) {
      EXPECT_EQ(payload.Attr("filter"), row.filter);
    }
    // Decode the serialised text with a fresh payload element and compare with the input.
    MoxXML::MoxMsg::MoxMsgPayload check;
    check.SetFilterType(row.second);
    check.MoxXMLObject::SetTagValue(payload.text);
    EXPECT_EQ(check.GetTagValue(), value);
  }
}

TEST(Builder, CopiesSerialiseAlikeAndThenGoTheirOwnWay) {
  for (bool serialiseFirst : {false, true}) {
    SCOPED_TRACE(serialiseFirst);
    auto source = std::make_unique<MoxMsgBuilder>();
    source->SetApplInfoName("n");
    source->AddTransportProtocol("AS2", "1.1", "Host: h\r\n", nullptr);
    source->AddTransportSecurityProtocol("S/MIME", "1", "", nullptr);
    source->SetDataLocationHost("host");
    if (serialiseFirst) Text(*source);
    source->SetPayload("abc", MoxXML::MoxMsg::MOXFILTER_BASE64);

    MoxMsgBuilder copy(*source);
    MoxMsgBuilder assigned;
    assigned.SetMsgInfoType("to be dropped");
    assigned = *source;
    const std::string before = Text(*source);
    EXPECT_EQ(Text(copy), before);
    EXPECT_EQ(Text(assigned), before);

    // Setters on the copies never show in the source, nor the other way round.
    copy.SetApplInfoName("copy");
    copy.AddTransportProtocol("HTTP", "1.1", "X-Copy: 1\r\n", nullptr);
    copy.AddTransportSecurityProtocol("TLS", "1.3", "", nullptr);
    copy.SetDataLocationType("copy");
    assigned.SetPayload("other", MoxXML::MoxMsg::MOXFILTER_NONE);
    EXPECT_EQ(Text(*source), before);
    source->SetApplInfoStatus("source only");
    ParsedNode copied = Document(copy);
    EXPECT_EQ(copied.At("applinfo/name").Attr("v"), "copy");
    EXPECT_EQ(copied.At("applinfo").Child("status"), nullptr);
    EXPECT_EQ(copied.At("transport/transprotocol/headers").ChildNames(), (Names{"host", "x-copy"}));
    EXPECT_EQ(copied.At("transport/security").children.size(), 2u);
    EXPECT_EQ(copied.At("msginfo/datalocation").ChildNames(), (Names{"host", "type"}));
    EXPECT_EQ(Document(assigned).At("payload").text, "other");
    // Destroying the source first must leave the copies whole (a double free shows under ASan).
    source.reset();
    EXPECT_EQ(Document(copy).At("applinfo/name").Attr("v"), "copy");
  }
}

TEST(Builder, SelfAssignmentChangesNothing) {
  MoxMsgBuilder builder;
  builder.SetApplInfoName("n");
  const std::string before = Text(builder);
  MoxMsgBuilder& alias = builder;
  builder = alias;
  EXPECT_EQ(Text(builder), before);
}

TEST(Builder, UnserialisedBuilderReleasesEverySection) {
  // Leaks or double frees here show under the sanitizer build.
  MoxMsgBuilder builder;
  builder.SetApplInfoName("n");
  builder.AddTransportProtocol("AS2", "1.1", "Host: h\r\n", nullptr);
  builder.AddTransportSecurityProtocol("S", "1", "", nullptr);
  builder.SetDataLocationHost("h");
  builder.SetPayload("p", MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE);
  builder.SetMsgInfoType("t");
}

}  // namespace
