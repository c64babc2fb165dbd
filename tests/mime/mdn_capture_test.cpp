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
      // Base64 is not decoded: an encoded body yields no field.
      {dn + "Content-Transfer-Encoding: base64\r\n\r\nUmVwb3J0aW5nLVVBOiBndw0K\r\n", "finalized"},
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

}  // namespace
