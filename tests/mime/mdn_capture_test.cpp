// MDNAndPayloadMIMEOutputTarget: the captured MDN fields and the tree must not depend on how
// the message is split into calls, and only the first notification is captured.
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::DumpTree;
using moxxml_test::FeedInPieces;
using moxxml_test::FeedRandomChunks;
using moxxml_test::FeedSizes;
using moxxml_test::ReadFile;
using moxxml_test::Str;

struct Capture {
  std::string tree;
  std::string fields;  // "name: value" lines of the MDN payload
  bool finalized;
};

Capture CaptureMdn(const std::string& message, long feedSize) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  MIMEMessageParser parser(target);
  auto feed = [&](const char* data, std::size_t length) {
    EXPECT_EQ(parser.Update(data, static_cast<int>(length)), 0);
  };
  if (feedSize < 0) {
    FeedRandomChunks(message, static_cast<unsigned>(-feedSize), 53, feed);
  } else {
    FeedInPieces(message, static_cast<std::size_t>(feedSize), feed);
  }
  EXPECT_EQ(parser.Final(), 0);
  Capture capture;
  capture.tree = DumpTree(target.GetRootNode());
  for (mime_header_context* h = target.GetMDNPayload().GetMIMEHEADERCTX()->next; h; h = h->next) {
    capture.fields += Str(h->name) + ": " + Str(h->value) + "\n";
  }
  capture.finalized = target.GetMDNPayload().IsFinalized() != 0;
  // A copy keeps tree and fields.
  MDNAndPayloadMIMEOutputTarget copy(target);
  EXPECT_EQ(DumpTree(copy.GetRootNode()), capture.tree);
  EXPECT_EQ(copy.GetMDNPayload().IsFinalized(), target.GetMDNPayload().IsFinalized());
  return capture;
}

std::vector<long> AllFeeds() {
  std::vector<long> feeds(FeedSizes().begin(), FeedSizes().end());
  for (long seed : {-1L, -2L, -3L, -4L}) feeds.push_back(seed);
  return feeds;
}

void ExpectStable(const std::string& message, const Capture& whole) {
  for (long feed : AllFeeds()) {
    SCOPED_TRACE("feed " + std::to_string(feed));
    const Capture other = CaptureMdn(message, feed);
    EXPECT_EQ(other.tree, whole.tree);
    EXPECT_EQ(other.fields, whole.fields);
    EXPECT_EQ(other.finalized, whole.finalized);
  }
}

class CorpusMdn : public ::testing::TestWithParam<const char*> {};

// Real AS2 MDNs, signed and unsigned, CRLF and LF: the fields must be found at every split.
TEST_P(CorpusMdn, FieldsCapturedAtEveryFeedSize) {
  const std::string message = ReadFile(std::string(MOXXML_TEST_DATA "/messages/") + GetParam());
  ASSERT_FALSE(message.empty());
  const Capture whole = CaptureMdn(message, 0);
  EXPECT_TRUE(whole.finalized);
  EXPECT_NE(whole.fields.find("Disposition: "), std::string::npos) << whole.fields;
  EXPECT_NE(whole.fields.find("Final-Recipient: "), std::string::npos) << whole.fields;
  ExpectStable(message, whole);
}

INSTANTIATE_TEST_SUITE_P(Messages, CorpusMdn,
                         ::testing::Values("as2-mdn-rfc3798-1.eml", "as2-mdn-phpas2-1.eml",
                                           "as2-mdn-phpas2-3.eml", "as2-mdn-phase2-1.eml",
                                           "as2-mdn-phase2-2.eml", "as2-mdn-libas2-1.eml"));

const char kReport[] =
    "Content-Type: multipart/report; report-type=disposition-notification; boundary=\"b\"\r\n"
    "\r\n"
    "--b\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "Your message was processed.\r\n"
    "--b\r\n"
    "%DN%"
    "--b--\r\n";

std::string Report(const std::string& dnPart) {
  std::string text = kReport;
  text.replace(text.find("%DN%"), 4, dnPart);
  return text;
}

TEST(MdnCapture, TableOfNotificationShapes) {
  const struct {
    const char* why;
    std::string dnPart;
    std::string fields;
    bool finalized;
  } rows[] = {
      {"plain notification",
       "Content-Type: message/disposition-notification\r\n\r\n"
       "Reporting-UA: gw\r\nDisposition: automatic-action/MDN-sent-automatically; processed\r\n",
       "Reporting-UA: gw\nDisposition: automatic-action/MDN-sent-automatically; processed\n", true},
      {"odd-case field names and type",
       "content-TYPE: Message/Disposition-Notification\r\nCONTENT-transfer-encoding: 7bit\r\n\r\n"
       "final-RECIPIENT: rfc822; a@b\r\n",
       "final-RECIPIENT: rfc822; a@b\n", true},
      {"empty notification body", "Content-Type: message/disposition-notification\r\n\r\n", "",
       true},
      {"MDN header with many fields, LF only",
       "Content-Type: message/disposition-notification\nX-A: 1\nX-B: 2\n\n"
       "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\n",
       "Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\n", true},
      // Base64 is not decoded: the notification's fields are read as they stand, which for
      // an encoded body means no field is found and the payload is finalized empty only if
      // the text happens to end it.
      {"base64-encoded notification",
       "Content-Type: message/disposition-notification\r\nContent-Transfer-Encoding: base64\r\n"
       "\r\nUmVwb3J0aW5nLVVBOiBndw0K\r\n",
       "", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    const std::string message = Report(row.dnPart);
    const Capture whole = CaptureMdn(message, 0);
    EXPECT_EQ(whole.fields, row.fields);
    EXPECT_EQ(whole.finalized, row.finalized);
    ExpectStable(message, whole);
  }
}

TEST(MdnCapture, OnlyTheFirstOfTwoNotificationsIsCaptured) {
  const std::string message = Report(
      "Content-Type: message/disposition-notification\r\n\r\nDisposition: first\r\n\r\n"
      "--b\r\nContent-Type: message/disposition-notification\r\n\r\n"
      "Disposition: second\r\n");
  const Capture whole = CaptureMdn(message, 0);
  EXPECT_EQ(whole.fields, "Disposition: first\n");
  ExpectStable(message, whole);
}

TEST(MdnCapture, MessageWithoutNotificationLeavesPayloadEmptyAndOpen) {
  const std::string message = Report("Content-Type: text/plain\r\n\r\nDisposition: no\r\n");
  const Capture whole = CaptureMdn(message, 0);
  EXPECT_EQ(whole.fields, "");
  EXPECT_FALSE(whole.finalized);
  // The tree is exactly the plain tree builder's.
  EXPECT_EQ(whole.tree, moxxml_test::ParseToDump(message, 0));
  ExpectStable(message, whole);
}

// Drives the target directly: the notification's header arrives over several calls and its
// end falls exactly on a call edge, so the first call after finalization skips nothing.
TEST(MdnCapture, HeaderOverSeveralCallsIsSkippedExactly) {
  const std::string header = "Content-Type: message/disposition-notification\r\nX-Extra: 1\r\n\r\n";
  const std::string body = "Disposition: x\r\nFinal-Recipient: rfc822; a@b\r\n";
  for (std::size_t split = 1; split < header.size() + body.size(); ++split) {
    SCOPED_TRACE("split at " + std::to_string(split));
    const std::string all = header + body;
    LoggerInterface logger;
    MDNAndPayloadMIMEOutputTarget target(logger);
    MIMEEntityDescription entity(0);
    // The first call ends with the byte that completes Content-Type, as the parser's calls do.
    entity.Update(header.data(), 49);  // the Content-Type line and the 'X' after it
    std::size_t fed = 49;
    target.Update(all.data(), 49, &entity, &entity, false);
    while (fed < all.size()) {
      const std::size_t n = std::min(split, all.size() - fed);
      entity.Update(all.data() + fed, static_cast<int>(n));
      target.Update(all.data() + fed, static_cast<int>(n), &entity, &entity, false);
      fed += n;
    }
    target.Finalize(&entity, &entity, false);
    std::string fields;
    for (mime_header_context* h = target.GetMDNPayload().GetMIMEHEADERCTX()->next; h; h = h->next) {
      fields += Str(h->name) + "=" + Str(h->value) + ";";
    }
    EXPECT_EQ(fields, "Disposition=x;Final-Recipient=rfc822; a@b;");
  }
}

}  // namespace
