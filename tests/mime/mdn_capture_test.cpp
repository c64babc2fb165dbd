// MDNAndPayloadMIMEOutputTarget: the captured MDN fields and the tree must not depend on how
// the message is split into calls, and only the first notification is captured.
#include <gtest/gtest.h>
#include <string>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::DumpTree;
using moxxml_test::Flatten;

// The tree, the MDN payload's fields and whether the payload was finalized, after feeding the
// message in pieces of feed bytes (see Feeds) or, given a split, in two calls cut there; a
// copy of the target must keep all three.
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
  const MIMEEntityDescription& mdn = target.GetMDNPayload();
  std::string capture =
      DumpTree(target.GetRootNode()) + "fields:" + Flatten(mdn.GetMIMEHEADERCTX());
  capture += mdn.IsFinalized() ? "finalized" : "open";
  MDNAndPayloadMIMEOutputTarget copy(target);
  EXPECT_EQ(DumpTree(copy.GetRootNode()), DumpTree(target.GetRootNode()));
  EXPECT_EQ(copy.GetMDNPayload().IsFinalized(), mdn.IsFinalized());
  return capture;
}

// The capture at every feed size and every split point; it must be the same at each. Where
// the notification's header ends on a call edge, the next call skips nothing.
std::string CaptureAtEveryFeed(const std::string& message) {
  const std::string whole = CaptureMdn(message, 0);
  for (long feed : moxxml_test::Feeds()) {
    EXPECT_EQ(CaptureMdn(message, feed), whole) << moxxml_test::FeedName(feed);
  }
  for (int split = 0; split <= static_cast<int>(message.size()); ++split) {
    EXPECT_EQ(CaptureMdn(message, 0, split), whole) << "split at " << split;
  }
  return whole;
}

// The part of a capture after the tree.
std::string Fields(const std::string& capture) {
  return capture.substr(capture.find("fields:") + 7);
}

class CorpusMdn : public ::testing::TestWithParam<const char*> {};

// Real AS2 MDNs, signed and unsigned, CRLF and LF: the fields must be found at every split.
TEST_P(CorpusMdn, FieldsCapturedAtEveryFeedSize) {
  const std::string message =
      moxxml_test::ReadFile(std::string(MOXXML_TEST_DATA "/messages/") + GetParam());
  ASSERT_FALSE(message.empty());
  const std::string fields = Fields(CaptureAtEveryFeed(message));
  EXPECT_NE((";" + fields).find(";Disposition="), std::string::npos) << fields;
  EXPECT_NE(fields.find("Final-Recipient="), std::string::npos) << fields;
  EXPECT_EQ(fields.substr(fields.size() - 9), "finalized");
}

INSTANTIATE_TEST_SUITE_P(Messages, CorpusMdn,
                         ::testing::Values("as2-mdn-rfc3798-1.eml", "as2-mdn-phpas2-1.eml",
                                           "as2-mdn-phpas2-3.eml", "as2-mdn-phase2-1.eml",
                                           "as2-mdn-phase2-2.eml", "as2-mdn-libas2-1.eml"));

const char kReport[] =
    "Content-Type: multipart/report; report-type=disposition-notification; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nYour message was processed.\r\n--b\r\n%DN%--b--\r\n";

std::string Report(const std::string& dnPart) {
  std::string text = kReport;
  text.replace(text.find("%DN%"), 4, dnPart);
  return text;
}

TEST(MdnCapture, NotificationShapes) {
  const struct {
    std::string dnPart;
    std::string fields;
  } rows[] = {
      {"Content-Type: message/disposition-notification\r\n\r\n"
       "Reporting-UA: gw\r\nDisposition: automatic-action/MDN-sent-automatically; processed\r\n",
       "Reporting-UA=gw;Disposition=automatic-action/MDN-sent-automatically; processed;"},
      // Odd-case field names and type.
      {"content-TYPE: Message/Disposition-Notification\r\nCONTENT-transfer-encoding: 7bit\r\n\r\n"
       "final-RECIPIENT: rfc822; a@b\r\n",
       "final-RECIPIENT=rfc822; a@b;"},
      {"Content-Type: message/disposition-notification\r\n\r\n", ""},
      // Several header fields, LF only.
      {"Content-Type: message/disposition-notification\nX-A: 1\nX-B: 2\n\n"
       "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\n",
       "Disposition=automatic-action/MDN-sent-automatically; processed/Error: x;"},
      // Base64 is not decoded: an encoded body yields no field.
      {"Content-Type: message/disposition-notification\r\nContent-Transfer-Encoding: base64\r\n"
       "\r\nUmVwb3J0aW5nLVVBOiBndw0K\r\n",
       ""},
      // Only the first of two notifications is captured.
      {"Content-Type: message/disposition-notification\r\n\r\nDisposition: first\r\n\r\n"
       "--b\r\nContent-Type: message/disposition-notification\r\n\r\nDisposition: second\r\n",
       "Disposition=first;"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dnPart);
    EXPECT_EQ(Fields(CaptureAtEveryFeed(Report(row.dnPart))), row.fields + "finalized");
  }
}

TEST(MdnCapture, MessageWithoutNotificationLeavesPayloadEmptyAndOpen) {
  const std::string message = Report("Content-Type: text/plain\r\n\r\nDisposition: no\r\n");
  // The tree is exactly the plain tree builder's.
  EXPECT_EQ(CaptureAtEveryFeed(message), moxxml_test::ParseToDump(message, 0) + "fields:open");
}

}  // namespace
