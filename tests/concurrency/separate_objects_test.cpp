// Everything else a host runs on several threads at once, each thread on its own objects:
// message parsing with capture, header parsing, the codecs, and copies of one builder that
// no thread changes. Each thread's results must equal those of one thread alone.
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "concurrency/workload.h"
#include "support/chunking.h"

namespace {

using moxxml_concurrency::Capture;
using moxxml_concurrency::CapturedMdns;
using moxxml_concurrency::FillDocument;
using moxxml_concurrency::MessageNames;
using moxxml_concurrency::PayloadOf;
using moxxml_concurrency::ReadFile;
using moxxml_concurrency::RunOnThreads;
using moxxml_test::FeedSizes;

const std::vector<std::string> kNoFailures;
constexpr int kThreads = 4;

// Runs job(0) .. job(count - 1) once on this thread, then on kThreads threads at once, each
// thread doing all jobs from its own starting point, so that different jobs overlap; every
// thread's results must equal the single-thread ones.
template <typename Job>
void ExpectSameResultsOnEveryThread(int count, Job&& job) {
  std::vector<std::string> alone;
  for (int i = 0; i < count; ++i) alone.push_back(job(i));
  std::vector<std::vector<std::string>> results(kThreads);
  EXPECT_EQ(RunOnThreads(kThreads,
                         [&](int t) {
                           std::vector<std::string>& mine = results[size_t(t)];
                           mine.resize(size_t(count));
                           for (int k = 0; k < count; ++k) {
                             const int i = (k + t * count / kThreads) % count;
                             mine[size_t(i)] = job(i);
                           }
                         }),
            kNoFailures);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(results[size_t(t)][size_t(i)], alone[size_t(i)]) << "thread " << t << ", job " << i;
    }
  }
}

// The header block of a message: its text up to the first empty line.
std::string HeaderBlock(const std::string& message) {
  size_t end = message.find("\r\n\r\n");
  if (end == std::string::npos) end = message.find("\n\n");
  return message.substr(0, end == std::string::npos ? message.size() : end + 1);
}

// MIMEParse of text into a fresh context: its fields, or the error it describes.
std::string ParsedHeaders(const std::string& text) {
  mime_header_context* context = MIMEInit();
  mime_error_context* error = InitMIMEERRORCTX();
  const int result = MIMEParse(context, text.c_str(), static_cast<int>(text.size()), 0, error);
  std::string out = std::to_string(result) + " " + MIMEERRORCTXFormatter().Format(error) + ":";
  for (const mime_header_context* h = context->next; h != nullptr; h = h->next) {
    out += std::string(h->name) + "=" + (h->value ? h->value : "") + ";";
    for (const mime_header_context* p = h->parms; p != nullptr; p = p->next) {
      out += "[" + std::string(p->name) + "=" + (p->value ? p->value : "") + "]";
    }
  }
  FreeMIMEERRORCTX(error);
  MIMEFree(context);
  return out;
}

// Every bundled message at every feed size into its own capture target (tree, MDN fields and a
// copy of the target), and its header block through MIMEParse.
TEST(SeparateObjects, MessageParsingCaptureAndHeaderParsingMatchOneThread) {
  std::vector<std::string> messages;
  for (const std::string& name : MessageNames()) {
    messages.push_back(ReadFile(MOXXML_TEST_DATA "/messages/" + name));
    ASSERT_FALSE(messages.back().empty()) << name;
  }
  const int feeds = static_cast<int>(FeedSizes().size());
  ExpectSameResultsOnEveryThread(static_cast<int>(messages.size()) * feeds, [&](int job) {
    const std::string& message = messages[size_t(job / feeds)];
    return Capture(message, FeedSizes()[size_t(job % feeds)]) + "\nheaders " +
           ParsedHeaders(HeaderBlock(message));
  });
}

int Append(const char* data, int length, unsigned char*, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}

// input through a fresh codec in its own container, fed in pieces of feedSize bytes.
std::string Coded(MoxStreamProcess& codec, const std::string& input, size_t feedSize) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &Append;
  container.writeContext = &output;
  int result = container.Init();
  container.AddProcess(&codec);
  moxxml_test::FeedInPieces(input, feedSize, [&](const char* data, size_t length) {
    result |= container.Update(data, static_cast<int>(length));
  });
  result |= container.Final();
  return std::to_string(result) + ":" + output;
}

// Base64 and quoted-printable, both ways, over binary and text inputs at every feed size;
// the decoders also get their encoders' output with junk mixed in.
TEST(SeparateObjects, CodecsMatchOneThread) {
  constexpr int kInputs = 8;
  const int feeds = static_cast<int>(FeedSizes().size());
  ExpectSameResultsOnEveryThread(kInputs * feeds, [&](int job) {
    const std::string input = PayloadOf(job / feeds * 7);
    const size_t feed = FeedSizes()[size_t(job % feeds)];
    MoxFilterBase64 base64;
    MoxUnfilterBase64 unbase64;
    MoxFilterQuotedPrintable qp;
    MoxUnfilterQuotedPrintable unqp;
    const std::string b64 = Coded(base64, input, feed);
    const std::string q = Coded(qp, input, feed);
    return b64 + "|" + q + "|" + Coded(unbase64, b64.substr(2) + "!*\r\n" + input, feed) + "|" +
           Coded(unqp, q.substr(2) + "=4=\r\n" + input, feed);
  });
}

std::string Text(MoxMsgBuilder& builder, bool prettyPrint = false) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, prettyPrint);
  return xml + diagnostics;
}

// A template builder, filled once, is copied by every thread at once (copy construction and
// assignment, from a template whose sections are still detached and from one whose first
// Serialize attached them); each copy is changed and written. The templates must be left as
// they were.
TEST(SeparateObjects, CopiesOfSharedBuildersThatNoThreadChangesMatchOneThread) {
  const CapturedMdns mdns(0);
  MoxMsgBuilder detached, attached;
  FillDocument(detached, 1, mdns);
  FillDocument(attached, 2, mdns);
  Text(attached);
  MoxMsgBuilder detachedBefore(detached), attachedBefore(attached);

  constexpr int kCopies = 48;
  ExpectSameResultsOnEveryThread(kCopies, [&](int k) {
    const MoxMsgBuilder& source = k % 2 != 0 ? attached : detached;
    std::unique_ptr<MoxMsgBuilder> copy;
    if (k % 4 < 2) {
      copy = std::make_unique<MoxMsgBuilder>(source);
    } else {
      copy = std::make_unique<MoxMsgBuilder>();
      copy->SetApplInfoName("replaced by the assignment");
      *copy = source;
    }
    copy->SetApplInfoMsgId("copy-" + std::to_string(k));
    copy->SetMsgInfoUserRefID("ref \xC3\xA9 " + std::to_string(k));
    copy->SetPayload(PayloadOf(k), MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE);
    return Text(*copy, k % 3 == 0);
  });

  EXPECT_EQ(Text(detached), Text(detachedBefore));
  EXPECT_EQ(Text(attached), Text(attachedBefore));
}

}  // namespace
