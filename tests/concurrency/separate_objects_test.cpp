// Everything else a host runs on several threads at once, each thread on its own objects:
// message parsing with capture, header parsing, the codecs, and copies of one builder that no
// thread changes. Each thread's results must equal those of one thread alone.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "concurrency/workload.h"
#include "external/mime/mime_test_util.h"
#include "support/chunking.h"
#include "support/full_document.h"

namespace moxxml_concurrency {
namespace {

using moxxml_test::FeedSizes;

// Runs job(0) .. job(count - 1) on this thread, then on 4 threads at once, each doing every job
// from its own starting point so that different jobs overlap; every result must equal the
// single-thread one.
template <typename Job>
void ExpectSameResultsOnEveryThread(int count, Job&& job) {
  constexpr int kThreads = 4;
  std::vector<std::string> alone;
  for (int i = 0; i < count; ++i) alone.push_back(job(i));
  std::vector<std::vector<std::string>> results(kThreads, std::vector<std::string>(alone.size()));
  RunOnThreads(kThreads, [&](int t) {
    for (int k = 0; k < count; ++k) {
      const int i = (k + t * count / kThreads) % count;
      results[size_t(t)][size_t(i)] = job(i);
    }
  });
  for (const std::vector<std::string>& result : results) ExpectSameTexts(result, alone);
}

// MIMEParse of the message's header block (up to its first empty line): result, error, fields.
std::string ParsedHeaders(const std::string& message) {
  size_t end = message.find("\r\n\r\n");
  if (end == std::string::npos) end = message.find("\n\n");
  const std::string text = message.substr(0, end == std::string::npos ? end : end + 1);
  mime_header_context* context = MIMEInit();
  mime_error_context* error = InitMIMEERRORCTX();
  const int result = MIMEParse(context, text.c_str(), static_cast<int>(text.size()), 0, error);
  const std::string out = std::to_string(result) + " " + MIMEERRORCTXFormatter().Format(error) +
                          ":" + moxxml_test::Flatten(context);
  FreeMIMEERRORCTX(error);
  MIMEFree(context);
  return out;
}

// The tree and MDN fields a capture target got from message fed in pieces of feed bytes, and
// the same for a copy of the target.
std::string Captured(const std::string& message, size_t feed) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  moxxml_test::Parse(target, message, static_cast<long>(feed));
  return moxxml_test::DescribeCapture(target) + "\n" +
         moxxml_test::DescribeCapture(MDNAndPayloadMIMEOutputTarget(target));
}

// Every bundled message at every feed size into a capture target of its own, and its header
// block through MIMEParse.
TEST(SeparateObjects, MessageParsingCaptureAndHeaderParsingMatchOneThread) {
  std::vector<std::string> messages;
  for (const std::string& path : MessagePaths("")) messages.push_back(moxxml_test::ReadFile(path));
  ASSERT_GT(messages.size(), 10u);
  const int feeds = static_cast<int>(FeedSizes().size());
  ExpectSameResultsOnEveryThread(static_cast<int>(messages.size()) * feeds, [&](int job) {
    const std::string& message = messages[size_t(job / feeds)];
    return Captured(message, FeedSizes()[size_t(job % feeds)]) + ParsedHeaders(message);
  });
}

// input through codec in a container of its own, fed in pieces of feed bytes: result, output.
std::string Coded(MoxStreamProcess&& codec, const std::string& input, size_t feed) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = [](const char* data, int length, unsigned char*, void* out) {
    static_cast<std::string*>(out)->append(data, static_cast<size_t>(length));
    return 0;
  };
  container.writeContext = &output;
  int result = container.Init();
  container.AddProcess(&codec);
  moxxml_test::FeedInPieces(input, feed, [&](const char* data, size_t length) {
    result |= container.Update(data, static_cast<int>(length));
  });
  result |= container.Final();
  return std::to_string(result) + ":" + output;
}

// Base64 and quoted-printable, both ways, over binary and text at every feed size; the decoders
// also get their encoders' output with junk mixed in.
TEST(SeparateObjects, CodecsMatchOneThread) {
  const int feeds = static_cast<int>(FeedSizes().size());
  ExpectSameResultsOnEveryThread(8 * feeds, [&](int job) {
    const std::string input = moxxml_test::PayloadOf(job / feeds * 7);
    const size_t feed = FeedSizes()[size_t(job % feeds)];
    const std::string b64 = Coded(MoxFilterBase64(), input, feed);
    const std::string qp = Coded(MoxFilterQuotedPrintable(), input, feed);
    return b64 + "|" + qp + "|" +
           Coded(MoxUnfilterBase64(), b64.substr(2) + "!*\r\n" + input, feed) + "|" +
           Coded(MoxUnfilterQuotedPrintable(), qp.substr(2) + "=4=\r\n" + input, feed);
  });
}

// A template builder, filled once, is copied by every thread at once (copy construction and
// assignment, from a template whose sections are still detached and from one whose first
// Serialize attached them); each copy is changed and written. The templates stay as they were.
TEST(SeparateObjects, CopiesOfSharedBuildersThatNoThreadChangesMatchOneThread) {
  const CapturedMdns mdns(0);
  MoxMsgBuilder detached, attached;
  moxxml_test::FillDocument(detached, 1, mdns.For(1), mdns.headers.get());
  moxxml_test::FillDocument(attached, 2, mdns.For(2), mdns.headers.get());
  moxxml_test::Written(attached);
  MoxMsgBuilder detachedBefore(detached), attachedBefore(attached);

  ExpectSameResultsOnEveryThread(48, [&](int k) {
    const MoxMsgBuilder& source = k % 2 != 0 ? attached : detached;
    std::unique_ptr<MoxMsgBuilder> copy(k % 4 < 2 ? new MoxMsgBuilder(source) : new MoxMsgBuilder);
    if (k % 4 >= 2) {
      copy->SetApplInfoName("replaced by the assignment");
      *copy = source;
    }
    copy->SetApplInfoMsgId("copy-" + std::to_string(k));
    copy->SetMsgInfoUserRefID("ref \xC3\xA9 " + std::to_string(k));
    copy->SetPayload(moxxml_test::PayloadOf(k), MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE);
    return moxxml_test::Written(*copy, k % 3 == 0);
  });
  EXPECT_EQ(moxxml_test::Written(detached), moxxml_test::Written(detachedBefore));
  EXPECT_EQ(moxxml_test::Written(attached), moxxml_test::Written(attachedBefore));
}

}  // namespace
}  // namespace moxxml_concurrency
