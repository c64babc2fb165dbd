// MDNAndPayloadMIMEOutputTarget: the captured MDN fields and the tree must not depend on how
// the message is split into calls, and only the first notification is captured.
#include <gtest/gtest.h>
#include <string>

#include "external/mime/mime_test_util.h"

namespace {

// The tree, then "fields:", the MDN payload's fields and whether the payload was finalized.
std::string Describe(const MDNAndPayloadMIMEOutputTarget& target) {
  const MIMEEntityDescription& mdn = target.GetMDNPayload();
  return moxxml_test::DumpTree(target.GetRootNode()) +
         "fields:" + moxxml_test::Flatten(mdn.GetMIMEHEADERCTX()) +
         (mdn.IsFinalized() ? "finalized" : "open");
}

// The capture after feeding the message in pieces of feed bytes (see Feeds) or, given a
// split, in two calls cut there; a copy of the target must describe the same.
std::string CaptureMdn(const std::string& message, long feed, int split = -1) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  if (split < 0) {
    moxxml_test::Parse(target, message, feed);
  } else {
    MIMEMessageParser parser(target);
    EXPECT_EQ(parser.Update(message.data(), split), 0);
    EXPECT_EQ(parser.Update(message.data() + split, static_cast<int>(message.size()) - split), 0);
    EXPECT_EQ(parser.Final(), 0);
  }
  EXPECT_EQ(Describe(MDNAndPayloadMIMEOutputTarget(target)), Describe(target));
  return Describe(target);
}

// The fields part of the capture, which must be the same at every feed size and every split
// point (where the notification's header ends on a call edge, the next call skips nothing);
// the tree must be exactly the plain tree builder's.
std::string FieldsAtEveryFeed(const std::string& message) {
  const std::string whole = CaptureMdn(message, 0);
  for (long feed : moxxml_test::Feeds()) {
    EXPECT_EQ(CaptureMdn(message, feed), whole) << moxxml_test::FeedName(feed);
  }
  for (int split = 0; split <= static_cast<int>(message.size()); ++split) {
    EXPECT_EQ(CaptureMdn(message, 0, split), whole) << "split at " << split;
  }
  const std::size_t tree = whole.find("fields:");
  EXPECT_EQ(whole.substr(0, tree), moxxml_test::ParseToDump(message, 0));
  return whole.substr(tree + 7);
}

// Real AS2 MDNs, signed and unsigned, CRLF and LF.
TEST(MdnCapture, RealMdnsGiveTheirFields) {
  for (const char* name :
       {"as2-mdn-rfc3798-1.eml", "as2-mdn-phpas2-1.eml", "as2-mdn-phpas2-3.eml",
        "as2-mdn-phase2-1.eml", "as2-mdn-phase2-2.eml", "as2-mdn-libas2-1.eml"}) {
    SCOPED_TRACE(name);
    const std::string message =
        moxxml_test::ReadFile(MOXXML_TEST_DATA "/messages/" + std::string(name));
    ASSERT_FALSE(message.empty());
    const std::string fields = FieldsAtEveryFeed(message);
    EXPECT_NE((";" + fields).find(";Disposition="), std::string::npos) << fields;
    EXPECT_NE(fields.find("Final-Recipient="), std::string::npos) << fields;
    EXPECT_EQ(fields.substr(fields.size() - 9), "finalized");
  }
}

TEST(MdnCapture, NotificationShapes) {
  const std::string report =
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=\"b\"\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nYour message was processed.\r\n--b\r\n";
  const std::string dn = "Content-Type: message/disposition-notification\r\n";
  const struct {
    std::string dnPart;
    const char* fields;
  } rows[] = {
      {dn + "\r\nReporting-UA: gw\r\nDisposition: automatic-action/MDN-sent-automatically; "
            "processed\r\n",
       "Reporting-UA=gw;Disposition=automatic-action/MDN-sent-automatically; processed;finalized"},
      // Odd-case field names and type.
      {"content-TYPE: Message/Disposition-Notification\r\nCONTENT-transfer-encoding: 7bit\r\n\r\n"
       "final-RECIPIENT: rfc822; a@b\r\n",
       "final-RECIPIENT=rfc822; a@b;finalized"},
      {dn + "\r\n", "finalized"},
      // Several header fields, LF only.
      {"Content-Type: message/disposition-notification\nX-A: 1\nX-B: 2\n\n"
       "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\n",
       "Disposition=automatic-action/MDN-sent-automatically; processed/Error: x;finalized"},
      // Only the first of two notifications is captured.
      {dn + "\r\nDisposition: first\r\n\r\n--b\r\n" + dn + "\r\nDisposition: second\r\n",
       "Disposition=first;finalized"},
      // Without a notification the payload stays empty and open.
      {"Content-Type: text/plain\r\n\r\nDisposition: no\r\n", "open"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dnPart);
    EXPECT_EQ(FieldsAtEveryFeed(report + row.dnPart + "--b--\r\n"), row.fields);
  }
}

// An encoded notification is decoded as it streams (before, base64 and quoted-printable bodies
// were captured empty), and a last field without a line break of its own is completed when
// the entity ends (before, it was lost): at the end of a multipart without close delimiter,
// of a message that is the notification itself, and of a decoded body.
TEST(MdnCapture, EncodedBodiesAndALastFieldWithoutLineBreak) {
  const std::string kFields =
      "Reporting-UA=gw; moxxml;Original-Message-ID=<a@b>;Disposition=automatic-action/"
      "MDN-sent-automatically; processed;finalized";
  const std::string kDisposition =
      "Disposition=automatic-action/MDN-sent-automatically; processed;finalized";
  const std::string report =
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nProcessed.\r\n--b\r\n";
  const std::string dn = "Content-Type: message/disposition-notification\r\n";
  const struct {
    std::string message;
    const std::string& fields;
  } kRows[] = {
      {report + dn +
           "Content-Transfer-Encoding: base64\r\n\r\n"
           "UmVwb3J0aW5nLVVBOiBndzsgbW94eG1sDQpPcmlnaW5hbC1NZXNzYWdlLUlEOiA8YUBiPg0KRGlz\r\n"
           "cG9zaXRpb246IGF1dG9tYXRpYy1hY3Rpb24vTUROLXNlbnQtYXV0b21hdGljYWxseTsgcHJvY2Vz\r\n"
           "c2VkDQo=\r\n--b--\r\n",
       kFields},
      {report + dn +
           "Content-Transfer-Encoding: Quoted-Printable\r\n\r\n"
           "Reporting-UA: gw; mox=\r\nxml\r\nOriginal-Message-ID: <a=40b>\r\n"
           "Disposition: automatic-=\r\naction/MDN-sent-automatically; processed\r\n"
           "--b--\r\n",
       kFields},
      {report + dn + "\r\nDisposition: automatic-action/MDN-sent-automatically; processed",
       kDisposition},
      {dn + "\r\nDisposition: automatic-action/MDN-sent-automatically; processed", kDisposition},
      {dn + "Content-Transfer-Encoding: BASE64\r\n\r\n"
            "RGlzcG9zaXRpb246IGF1dG9tYXRpYy1hY3Rpb24vTUROLXNlbnQtYXV0b21hdGljYWxseTsgcHJvY2Vzc2Vk",
       kDisposition},
      {dn + "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
            "Disposition: automatic-action/MDN-sent-automatically; process=\r\ned=\r\n",
       kDisposition},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.message);
    EXPECT_EQ(FieldsAtEveryFeed(row.message), row.fields);
  }
}

// A first call after the notification's header was finalized whose data end before the body
// (possible when a parser finalizes a description ahead of the bytes it hands on): the rest
// of the header is skipped in the following calls; before, the skip was clamped and header
// bytes were read as fields.
TEST(MdnCapture, SkipLargerThanTheCallCarriesOver) {
  const std::string header =
      "Content-Type: message/disposition-notification\r\nX-Long-Header: " + std::string(100, 'x') +
      "\r\n\r\n";
  const std::string body = "Final-Recipient: rfc822; a@b\r\nDisposition: manual-action/x\r\n";
  for (size_t feed : moxxml_test::FeedSizes()) {
    SCOPED_TRACE(moxxml_test::FeedSizeName(feed));
    MIMEEntityDescription entity(0);
    ASSERT_EQ(entity.Update(header.data(), static_cast<int>(header.size())),
              static_cast<int>(header.size()));
    ASSERT_TRUE(entity.IsFinalized());
    LoggerInterface logger;
    MDNAndPayloadMIMEOutputTarget target(logger);
    moxxml_test::FeedInPieces(header + body, feed, [&](const char* data, size_t length) {
      target.Update(data, static_cast<int>(length), &entity, &entity, false);
    });
    target.Finalize(&entity, &entity, false);
    EXPECT_EQ(moxxml_test::Flatten(target.GetMDNPayload().GetMIMEHEADERCTX()),
              "Final-Recipient=rfc822; a@b;Disposition=manual-action/x;");
  }
}

}  // namespace
