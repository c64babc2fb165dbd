// MoxMsgBuilder: the document shape, order rules, failures and copies, checked on parsed output.
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <moxxml/moxxml.h>

#include "external/mime/mime_test_util.h"
#include "support/expect_refusal.h"
#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

using namespace MoxXML::MoxMsg;
using moxxml_test::ExpectRefusal;
using moxxml_test::ParsedNode;
using moxxml_test::ParseXml;
using moxxml_test::RefusalOf;

std::string Text(MoxMsgBuilder& builder, bool pretty = false) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, pretty);
  EXPECT_EQ(diagnostics, "");
  return xml;
}

// Serialises, checks the text against the schema, and parses it.
ParsedNode Document(MoxMsgBuilder& builder) {
  const std::string xml = Text(builder);
  EXPECT_EQ(moxxml_test::ValidateAgainstSchema(xml), "") << xml;
  return ParseXml(xml);
}

std::string Outline(MoxMsgBuilder& builder) { return Document(builder).Outline(); }

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

// Each setter called twice leaves one element, where the table puts it, with the second value.
TEST(Builder, EverySetterCalledTwiceLeavesOneElementWithTheSecondValue) {
  using Setter = void (MoxMsgBuilder::*)(const std::string&);
  using B = MoxMsgBuilder;
  const Setter kSetters[] = {
      &B::SetApplInfoName,     &B::SetApplInfoVersion,      &B::SetApplInfoInstance,
      &B::SetApplInfoMsgId,    &B::SetApplInfoType,         &B::SetApplInfoTimestamp,
      &B::SetApplInfoStatus,   &B::SetApplInfoStatusCode,   &B::SetApplInfoStatusText,
      &B::SetTransportOrigin,  &B::SetTransportDestination, &B::SetMsgInfoType,
      &B::SetMsgInfoDirection, &B::SetMsgInfoUserRefID,     &B::SetMsgInfoOriginalFilename,
      &B::SetMsgInfoAS1To,     &B::SetMsgInfoAS1From,       &B::SetDataLocationType,
      &B::SetDataLocationHost, &B::SetDataLocationLocation};
  std::istringstream paths(
      "applinfo{name applinfo{version applinfo{instance applinfo{msgid applinfo{type "
      "applinfo{timestamp applinfo{status applinfo{statuscode applinfo{statustext "
      "transport{origin transport{destination msginfo{type msginfo{direction msginfo{userrefid "
      "msginfo{originalfilename msginfo{as1to msginfo{as1from msginfo{datalocation{type "
      "msginfo{datalocation{host msginfo{datalocation{location");
  for (const Setter setter : kSetters) {
    std::string path;
    ASSERT_TRUE(paths >> path);
    SCOPED_TRACE(path);
    MoxMsgBuilder builder;
    (builder.*setter)("first <&\"]]>");
    (builder.*setter)("second <&\"]]>");
    const std::string tail(std::count(path.begin(), path.end(), '{') + 1, '}');
    EXPECT_EQ(Outline(builder), "moxmsg{version=1.0 " + path + "=second <&\"]]>" + tail);
  }
}

// Sections stand in their fixed order whatever the call order; within a section the first
// calls decide the order, and an empty value is stored too.
TEST(Builder, SectionAndChildOrder) {
  MoxMsgBuilder fresh, builder;
  EXPECT_EQ(Outline(fresh), "moxmsg{version=1.0}");
  builder.SetPayload("data", MOXFILTER_NONE);
  builder.SetApplInfoStatus("ok");
  builder.SetMsgInfoAS1From("a");
  builder.SetApplInfoName("gateway");
  builder.SetApplInfoStatus("failed");  // updates in place, does not move
  builder.SetDataLocationHost("h");
  builder.SetTransportOrigin("o");
  builder.SetDataLocationType("t");
  builder.SetMsgInfoAS1To("b");
  builder.SetDataLocationHost("h2");
  builder.SetApplInfoStatusText("");
  EXPECT_EQ(
      Outline(builder),
      "moxmsg{version=1.0 applinfo{status=failed name=gateway statustext=} transport{origin=o} "
      "msginfo{as1from=a datalocation{host=h2 type=t} as1to=b} payload \"data\"}");
}

// Serialize appends to the strings it is given. A section created after a Serialize stands
// behind the sections attached earlier (outside the schema's order on purpose). Pretty
// printing gives another text of the same tree.
TEST(Builder, LateSectionsAndSerializeAppending) {
  MoxMsgBuilder builder;
  builder.SetPayload("data", MOXFILTER_NONE);
  builder.SetApplInfoType("first");
  std::string xml = "existing", diagnostics = "old";
  builder.Serialize(xml, diagnostics, false);
  builder.Serialize(xml, diagnostics, false);
  const std::string once = Text(builder);
  EXPECT_EQ(xml + diagnostics, "existing" + once + once + "old");
  EXPECT_EQ(ParseXml(once).Outline(), "moxmsg{version=1.0 applinfo{type=first} payload \"data\"}");
  builder.SetMsgInfoType("late");
  builder.SetApplInfoType("second");
  const std::string flat = Text(builder), pretty = Text(builder, true);
  EXPECT_EQ(ParseXml(flat).Outline(),
            "moxmsg{version=1.0 applinfo{type=second} payload \"data\" msginfo{type=late}}");
  EXPECT_NE(pretty, flat);
  EXPECT_EQ(ParseXml(pretty).Outline(), ParseXml(flat).Outline());
}

// One transprotocol, created by the first call that needs it, its headers in call order; one
// secprotocol per call, in call order.
TEST(Builder, TransportProtocolSecurityAndHeaders) {
  MoxMsgBuilder builder;
  Headers id("Message-ID: <1@x>\r\n"), extra("X-Extra: 1\r\n");
  builder.AddTransportProtocolHeaders(id.context);  // creates the protocol, headers first
  builder.AddTransportProtocol(
      "HTTP", "1.0", "Host: a\r\nContent-Type: text/plain; charset=us-ascii\r\n", nullptr);
  builder.AddTransportSecurityProtocol("S/MIME", "3.2",
                                       "Content-Type: application/pkcs7-signature\r\n", nullptr);
  builder.AddTransportProtocol("AS2", "1.1", "AS2-From: x\r\n", id.context);
  builder.AddTransportSecurityProtocol("TLS", "1.3", "", extra.context);
  builder.SetTransportOrigin("o");
  EXPECT_EQ(Outline(builder),
            "moxmsg{version=1.0 transport{transprotocol{headers{message-id=<1@x> host=a "
            "content-type=text/plain{parms{charset=us-ascii}} as2-from=x message-id=<1@x>} "
            "name=AS2 version=1.1} security{secprotocol{name=S/MIME version=3.2 "
            "headers{content-type=application/pkcs7-signature}} secprotocol{name=TLS version=1.3 "
            "headers{x-extra=1}}} origin=o}}");
  // A null context is refused once the protocol exists.
  MoxMsgBuilder fresh;
  EXPECT_EQ(std::get<0>(RefusalOf([&] { fresh.AddTransportProtocolHeaders(nullptr); })),
            MoxXML::MOXXMLERR_NULL_POINTER);
  EXPECT_EQ(Outline(fresh), "moxmsg{version=1.0 transport{transprotocol}}");
}

// Header text that the MIME library rejects, or a header name that is no tag name, is refused
// with nothing of it added; the protocol's name and version stay.
TEST(Builder, RejectedHeaderTextKeepsNameAndVersion) {
  const std::string kFailed = "MIMEParse failed.\n";
  for (const std::string headers : {"not a header line\r\n", "Good: 1\r\nX(bad): 2\r\n"}) {
    for (bool security : {false, true}) {
      SCOPED_TRACE(headers + (security ? "security" : ""));
      MoxMsgBuilder builder;
      auto [code, where, text] = RefusalOf([&] {
        security ? builder.AddTransportSecurityProtocol("S", "2", headers, nullptr)
                 : builder.AddTransportProtocol("S", "2", headers, nullptr);
      });
      EXPECT_TRUE(headers[0] == 'n' ? code < 0 && where.empty() && text.rfind(kFailed, 0) == 0 &&
                                          text.size() > kFailed.size()
                                    : code == MoxXML::MOXXMLERR_INVALID_TAG_NAME)
          << code << where << text;
      EXPECT_EQ(Outline(builder), std::string("moxmsg{version=1.0 transport{") +
                                      (security ? "security{secprotocol" : "transprotocol") +
                                      "{name=S version=2}}}" + (security ? "}" : ""));
    }
  }
}

// SetPayload is all or nothing. A refused encoding (an unknown number: code 9) once still
// changed the "filter" attribute, so the former text stood under the wrong label (base64 text
// without "filter"), and a first call left an empty payload behind. A later call still works.
TEST(Builder, RefusedPayloadLeavesThePayloadAsItWas) {
  const struct {
    const char* text;  // null: no payload before
    MOXFILTER_TYPES encoding;
    const char* written;  // "-": no payload
  } kRows[] = {
      {"hello", MOXFILTER_BASE64, "payload filter=base64 \"aGVsbG8=\r\n\""},
      {"hello", MOXFILTER_QUOTED_PRINTABLE, "payload filter=quoted-printable \"hello\""},
      {"hello", MOXFILTER_7BIT, "payload filter=7bit \"hello\""},
      {"hello", MOXFILTER_NONE, "payload \"hello\""},
      {nullptr, MOXFILTER_NONE, "-"},
  };
  for (const auto& row : kRows) {
    for (const auto refused : {static_cast<MOXFILTER_TYPES>(9), static_cast<MOXFILTER_TYPES>(-1)}) {
      SCOPED_TRACE(std::string(row.written) + " then " + std::to_string(refused));
      MoxMsgBuilder builder;
      if (row.text != nullptr) builder.SetPayload(row.text, row.encoding);
      ExpectRefusal([&] { builder.SetPayload("world", refused); }, MoxXML::MOXXMLERR_OUT_OF_MEMORY,
                    "MoxMsgPayload::SetTagValue", "Out of memory.");
      const ParsedNode document = Document(builder);
      const ParsedNode* payload = document.Child("payload");
      EXPECT_EQ(payload != nullptr ? payload->Outline() : "-", row.written);
      builder.SetPayload("again", MOXFILTER_BASE64);
      EXPECT_EQ(Document(builder).At("payload").Outline(),
                "payload filter=base64 \"YWdhaW4=\r\n\"");
    }
  }
}

// Each SetMsgInfoMime adds one mimepart; a null target is refused and leaves an empty mime.
TEST(Builder, MsgInfoMime) {
  const std::string message = "Content-Type: text/plain; charset=us-ascii\r\n\r\nhello\r\n";
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  moxxml_test::Parse(target, message, 0);
  MoxMsgBuilder builder;
  builder.SetMsgInfoMime(&target);
  builder.SetMsgInfoMime(&target);
  const std::string part = "mimepart{headers{content-type=text/plain{parms{charset=us-ascii}}}}";
  EXPECT_EQ(Outline(builder), "moxmsg{version=1.0 msginfo{mime{" + part + " " + part + "}}}");
  MoxMsgBuilder empty;
  EXPECT_THROW(empty.SetMsgInfoMime(nullptr), MoxException);
  EXPECT_EQ(Outline(empty), "moxmsg{version=1.0 msginfo{mime}}");
}

// Copies serialise as their source did at the moment of copying, then go their own way; the
// source may go first (a double free shows under ASan), and so may a never serialised copy. A
// second payload replaces the first's encoding and value (the schema admits one payload).
TEST(Builder, CopiesSerialiseAlikeAndThenGoTheirOwnWay) {
  for (bool serialiseFirst : {false, true}) {
    SCOPED_TRACE(serialiseFirst);
    auto source = std::make_unique<MoxMsgBuilder>();
    source->SetApplInfoName("n");
    source->AddTransportProtocol("AS2", "1.1", "Host: h\r\n", nullptr);
    source->AddTransportSecurityProtocol("S/MIME", "1", "", nullptr);
    source->SetDataLocationHost("host");
    if (serialiseFirst) Text(*source);
    source->SetPayload("abc", MOXFILTER_BASE64);
    { MoxMsgBuilder dropped(*source); }
    MoxMsgBuilder copy(*source), assigned;
    assigned.SetMsgInfoType("to be dropped");
    assigned = *source;
    MoxMsgBuilder& alias = assigned;
    assigned = alias;
    const std::string before = Text(*source);
    EXPECT_EQ(Text(copy) + Text(assigned), before + before);

    copy.SetApplInfoName("copy");
    copy.AddTransportProtocol("HTTP", "1.1", "X-Copy: 1\r\n", nullptr);
    copy.AddTransportSecurityProtocol("TLS", "1.3", "", nullptr);
    copy.SetDataLocationType("copy");
    assigned.SetPayload("other", MOXFILTER_NONE);
    EXPECT_EQ(Text(*source), before);
    source->SetApplInfoStatus("source only");
    source.reset();
    EXPECT_EQ(
        Outline(copy),
        "moxmsg{version=1.0 applinfo{name=copy} transport{transprotocol{name=HTTP version=1.1 "
        "headers{host=h x-copy=1}} security{secprotocol{name=S/MIME version=1} "
        "secprotocol{name=TLS version=1.3}}} msginfo{datalocation{host=host type=copy}} "
        "payload filter=base64 \"YWJj\r\n\"}");
    EXPECT_EQ(Document(assigned).At("payload").Outline(), "payload \"other\"");
  }
}

}  // namespace
