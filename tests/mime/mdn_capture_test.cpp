// MDNAndPayloadMIMEOutputTarget: the captured MDN fields and the tree must not depend on how
// the message is split into calls, only the first notification is captured, and the deepest
// tree goes through capture, the builder and Serialize on a small stack.
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

#include "external/mime/mime_test_util.h"
#include "support/parsed_xml.h"

namespace {

using moxxml_test::DescribeCapture;

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
  EXPECT_EQ(DescribeCapture(MDNAndPayloadMIMEOutputTarget(target)), DescribeCapture(target));
  return DescribeCapture(target);
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
  EXPECT_EQ(whole.substr(0, tree), moxxml_test::ParseAtEveryFeed(message, {}));
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

// Notifications inside a report and alone. An encoded notification is decoded as it streams
// (before, base64 and quoted-printable bodies were captured empty), and a last field without
// a line break of its own is completed when the entity ends (before, it was lost): at the end
// of a multipart without close delimiter, of a message that is the notification itself, and
// of a decoded body.
TEST(MdnCapture, NotificationShapesEncodingsAndALastFieldWithoutLineBreak) {
  const std::string report =
      "Content-Type: multipart/report; report-type=disposition-notification; boundary=\"b\"\r\n\r\n"
      "--b\r\nContent-Type: text/plain\r\n\r\nYour message was processed.\r\n--b\r\n";
  const std::string dn = "Content-Type: message/disposition-notification\r\n";
  const std::string processed = "automatic-action/MDN-sent-automatically; processed";
  const std::string disposition = "Disposition=" + processed + ";finalized";
  const std::string all = "Reporting-UA=gw; moxxml;Original-Message-ID=<a@b>;" + disposition;
  const struct {
    int in;  // 2: a report with its close delimiter, 1: a report without, 0: none
    std::string part;
    std::string fields;
  } rows[] = {
      // clang-format off
      {2, dn + "\r\nReporting-UA: gw; moxxml\r\nOriginal-Message-ID: <a@b>\r\nDisposition: " +
          processed + "\r\n", all},
      // Odd-case field names and type; a line that is no field ends the fields.
      {2, "content-TYPE: Message/Disposition-Notification\r\nCONTENT-transfer-encoding: 7bit\r\n"
          "\r\nfinal-RECIPIENT: rfc822; a@b\r\nnot a field\r\nDisposition: x\r\n",
       "final-RECIPIENT=rfc822; a@b;finalized"},
      {2, dn + "\r\n", "finalized"},
      // Several header fields, LF only.
      {2, "Content-Type: message/disposition-notification\nX-A: 1\nX-B: 2\n\nDisposition: " +
          processed + "/Error: x\n", "Disposition=" + processed + "/Error: x;finalized"},
      // Only the first of two notifications is captured.
      {2, dn + "\r\nDisposition: first\r\n\r\n--b\r\n" + dn + "\r\nDisposition: second\r\n",
       "Disposition=first;finalized"},
      // Without a notification the payload stays empty and open.
      {2, "Content-Type: text/plain\r\n\r\nDisposition: no\r\n", "open"},
      {2, dn + "Content-Transfer-Encoding: base64\r\n\r\n"
          "UmVwb3J0aW5nLVVBOiBndzsgbW94eG1sDQpPcmlnaW5hbC1NZXNzYWdlLUlEOiA8YUBiPg0KRGlz\r\n"
          "cG9zaXRpb246IGF1dG9tYXRpYy1hY3Rpb24vTUROLXNlbnQtYXV0b21hdGljYWxseTsgcHJvY2Vz\r\n"
          "c2VkDQo=\r\n", all},
      {2, dn + "Content-Transfer-Encoding: Quoted-Printable\r\n\r\nReporting-UA: gw; mox=\r\n"
          "xml\r\nOriginal-Message-ID: <a=40b>\r\nDisposition: automatic-=\r\naction/"
          "MDN-sent-automatically; processed\r\n", all},
      {1, dn + "\r\nDisposition: " + processed, disposition},
      {0, dn + "\r\nDisposition: " + processed, disposition},
      {0, dn + "Content-Transfer-Encoding: BASE64\r\n\r\n"
          "RGlzcG9zaXRpb246IGF1dG9tYXRpYy1hY3Rpb24vTUROLXNlbnQtYXV0b21hdGljYWxseTsgcHJvY2Vzc2Vk",
       disposition},
      {0, dn + "Content-Transfer-Encoding: quoted-printable\r\n\r\nDisposition: " +
          "automatic-action/MDN-sent-automatically; process=\r\ned=\r\n", disposition},
      // clang-format on
  };
  for (const auto& row : rows) {
    const std::string message =
        (row.in ? report : "") + row.part + (row.in == 2 ? "--b--\r\n" : "");
    SCOPED_TRACE(message);
    EXPECT_EQ(FieldsAtEveryFeed(message), row.fields);
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

// The deepest tree the parser allows (63 multiparts, each with headers and parameters, around a
// notification), and 100k levels of which the parser keeps the same 64, go through capture,
// SetMsgInfoMime, Serialize and destruction on a thread with a 256 KiB stack: recursion in any
// of them would overflow it.
TEST(MdnCapture, DeepestTreeRunsTheFullPathOnA256KiBStack) {
#if defined(__SANITIZE_ADDRESS__)
  // ASan's redzones and fake frames make every frame several times larger; the real
  // 256 KiB check runs in the plain build.
  constexpr std::size_t kStack = 4u << 20;
#else
  constexpr std::size_t kStack = 256u << 10;
#endif
  for (const int levels : {63, 100000}) {
    SCOPED_TRACE(std::to_string(levels) + " levels");
    std::pair<std::string, std::string> run;  // the message, then the document
    for (int i = 0; i < levels; ++i) {
      const std::string b = "b" + std::to_string(i);
      run.first += "Content-Type: multipart/mixed; boundary=" + b +
                   "; x*0=a; x*1=b\r\nX-Level: " + std::to_string(i) + "\r\n\r\n--" + b + "\r\n";
    }
    run.first += "Content-Type: message/disposition-notification\r\n\r\nDisposition: x\r\n";
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kStack), 0);
    pthread_t thread;
    auto fullPath = [](void* argument) -> void* {
      auto* run = static_cast<std::pair<std::string, std::string>*>(argument);
      LoggerInterface logger;
      MDNAndPayloadMIMEOutputTarget target(logger);
      moxxml_test::Parse(target, run->first, 0);
      MoxMsgBuilder builder;
      builder.SetMsgInfoMime(&target);
      std::string diagnostics;
      builder.Serialize(run->second, diagnostics, true);
      return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, fullPath, &run), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
    // 64 nested mimeparts; the notification's fields in the last when it is within reach.
    const moxxml_test::ParsedNode doc = moxxml_test::ParseXml(run.second);
    const moxxml_test::ParsedNode* part = &doc.At("msginfo/mime/mimepart");
    int depth = 1;
    for (; part->Child("mimepart") != nullptr; ++depth) part = part->Child("mimepart");
    EXPECT_EQ(depth, 64);
    EXPECT_EQ(part->At("headers").Child("disposition") != nullptr, levels == 63);
  }
}

}  // namespace
