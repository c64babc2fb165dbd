// Serialize on many threads at once, each thread on its own builders and trees: every text is
// the one the same document gives alone, with the platform held and without, the platform's
// count stays balanced, and what goes to the standard streams stays whole.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <xercesc/util/PanicHandler.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <moxxml/moxxml.h>

#include "concurrency/workload.h"
#include "support/chunking.h"
#include "support/serialize.h"

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;
using MoxXML::MoxXMLPlatformGuard;
using MoxXML::MoxMsg::MoxMsgAttr;
using MoxXML::MoxMsg::MoxMsgElement;
using MoxXML::MoxMsg::MoxMsgRootElement;
using moxxml_concurrency::CapturedMdns;
using moxxml_concurrency::Differences;
using moxxml_concurrency::DocumentText;
using moxxml_concurrency::PlatformState;
using moxxml_concurrency::ReferenceTexts;
using moxxml_concurrency::RunOnThreads;
using moxxml_test::FeedSizes;

const std::vector<std::string> kNoFailures;

constexpr int kThreads = 8;
constexpr int kDocumentsPerThread = 500;

// Without the library's lock, two threads serialising crashed at once, and a host's held
// platform stayed up after its Terminate because the count went wrong. Here 8 threads write
// 500 different documents each: the first half while another thread holds a guard, the second
// half without one, each call starting the platform unless another call has it up, so that
// calls keep meeting the platform as it comes up and goes down. Every text must equal its
// single-thread reference and the platform must be down once the last call and the guard have
// ended.
TEST(ConcurrentSerialize, EightThreadsWriteWhatOneThreadWritesWithAndWithoutAHeldPlatform) {
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kThreads * kDocumentsPerThread);
  ASSERT_EQ(PlatformState(), "down");

  std::vector<std::string> got(expected.size());
  // Each thread captures its MDNs at its own feed size and writes documents [from, to) of its
  // share with builders of its own.
  auto write = [&](int thread, int from, int to) {
    const CapturedMdns mdns(FeedSizes()[size_t(thread) % FeedSizes().size()]);
    for (int i = from; i < to; ++i) {
      const int id = thread * kDocumentsPerThread + i;
      got[size_t(id)] = DocumentText(id, mdns);
    }
  };
  constexpr int kHalf = kDocumentsPerThread / 2;

  std::promise<void> held, release;
  std::future<void> released = release.get_future();
  std::thread holder([&] {
    const MoxXMLPlatformGuard platform;
    held.set_value();
    released.wait();
  });
  held.get_future().wait();
  EXPECT_EQ(RunOnThreads(kThreads, [&](int t) { write(t, 0, kHalf); }), kNoFailures);
  EXPECT_EQ(PlatformState(), "up") << "the platform went down under the guard";
  release.set_value();
  holder.join();
  EXPECT_EQ(PlatformState(), "down") << "the guard's end did not stop the platform";

  EXPECT_EQ(RunOnThreads(kThreads, [&](int t) { write(t, kHalf, kDocumentsPerThread); }),
            kNoFailures);
  EXPECT_EQ(PlatformState(), "down") << "the platform outlived the last Serialize";
  EXPECT_EQ(Differences(got, expected), "");
}

// Stands for a host's own initialisation: Terminate clears the user panic handler and the
// library's Initialize never sets one, so the handler is still installed only if the platform
// was never stopped in between.
class HostPanicHandler : public xerces::PanicHandler {
 public:
  void panic(const PanicReasons) override { std::abort(); }
};

// A host that initialises the platform itself before its workers start and terminates it after
// they end: the library's calls and guards on the workers nest inside, so the platform stays
// up, never restarted, until the host's Terminate, which then really stops it.
TEST(ConcurrentSerialize, AHostsOwnInitializeAndTerminateAroundTheWorkersStillBalance) {
  constexpr int kWorkers = 4;
  constexpr int kEach = 60;
  constexpr std::chrono::milliseconds kQuickGuards(1000);
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kWorkers * kEach);

  HostPanicHandler handler;
  xerces::XMLPlatformUtils::Initialize(xerces::XMLUni::fgXercescDefaultLocale, nullptr, &handler);
  std::vector<std::string> got(expected.size());
  EXPECT_EQ(RunOnThreads(kWorkers,
                         [&](int t) {
                           const CapturedMdns mdns(FeedSizes()[size_t(t)]);
                           for (int i = 0; i < kEach; ++i) {
                             const int id = t * kEach + i;
                             // Every third call also holds a guard of its own.
                             std::unique_ptr<MoxXMLPlatformGuard> guard;
                             if (id % 3 == 0) guard = std::make_unique<MoxXMLPlatformGuard>();
                             got[size_t(id)] = DocumentText(id, mdns);
                           }
                         }),
            kNoFailures);
  // Then guards in quick succession on all workers at once for a while: a count that is not
  // guarded loses updates within milliseconds of this.
  EXPECT_EQ(RunOnThreads(kWorkers,
                         [&](int) {
                           const auto end = std::chrono::steady_clock::now() + kQuickGuards;
                           while (std::chrono::steady_clock::now() < end) {
                             for (int g = 0; g < 100; ++g) const MoxXMLPlatformGuard quick;
                           }
                         }),
            kNoFailures);
  EXPECT_EQ(xerces::XMLPlatformUtils::fgUserPanicHandler, &handler)
      << "the platform was stopped while the host held it";
  EXPECT_EQ(PlatformState(), "up");
  xerces::XMLPlatformUtils::Terminate();
  EXPECT_EQ(PlatformState(), "down") << "the host's Terminate left the platform up";
  EXPECT_EQ(Differences(got, expected), "");
}

// Document id as a tree built directly from node classes: elements with values and attributes,
// three in four renamed past the tag-name check to a name the DOM refuses, so that the
// document also has diagnostics, each naming id.
std::unique_ptr<MoxMsgRootElement> TreeOf(int id) {
  auto root = std::make_unique<MoxMsgRootElement>();
  root->SetTagName("moxmsg");
  const std::string n = std::to_string(id);
  for (int i = 0; i < 16; ++i) {
    auto element = std::make_unique<MoxMsgElement>();
    element->SetTagName("item" + std::to_string(i));
    root->AppendElement(element.get());
    MoxMsgElement* held = element.release();
    held->SetTagValue("value " + n + " <&> " + std::to_string(i));
    auto attribute = std::make_unique<MoxMsgAttr>("note", "n" + n);
    held->AppendAttribute(attribute.get());
    attribute.release();
    if (i % 4 != 0) held->SetTagName("left out " + n + "." + std::to_string(i));
  }
  return root;
}

// True when text is exactly the pieces one after another, in any order.
bool IsConcatenationOf(const std::string& text, std::vector<std::string> pieces) {
  size_t at = 0;
  while (!pieces.empty()) {
    auto next = std::find_if(pieces.begin(), pieces.end(), [&](const std::string& piece) {
      return text.compare(at, piece.size(), piece) == 0;
    });
    if (next == pieces.end()) return false;
    at += next->size();
    pieces.erase(next);
  }
  return at == text.size();
}

// Serialize without callbacks writes to the standard streams. Several threads doing so at
// once must still give whole documents and whole diagnostics, one after another, not pieces
// of several mixed together.
TEST(ConcurrentSerialize, DocumentsOnStandardOutputAndDiagnosticsOnStandardErrorStayWhole) {
  constexpr int kWriters = 4;
  constexpr int kEach = 25;
  std::vector<std::string> documents, diagnostics;
  for (int id = 0; id < kWriters * kEach; ++id) {
    std::string xml, errors;
    TreeOf(id)->Serialize(moxxml_test::AppendTo, &xml, id % 2 != 0, moxxml_test::AppendTo, &errors);
    documents.push_back(xml);
    // As the error callback gets them, then as the standard error stream must show them.
    const std::string kCallbackPrefix = "\nError Message:    ";
    ASSERT_EQ(errors.compare(0, kCallbackPrefix.size(), kCallbackPrefix), 0) << errors;
    for (size_t at = 0; at < errors.size();) {
      const size_t next = std::min(errors.find(kCallbackPrefix, at + 1), errors.size());
      const std::string text =
          errors.substr(at + kCallbackPrefix.size(), next - at - kCallbackPrefix.size());
      ASSERT_EQ(text.find("Element 'left out " + std::to_string(id) + "."), 0u) << text;
      diagnostics.push_back("\nError Message: " + text + "\n");
      at = next;
    }
  }
  ASSERT_EQ(diagnostics.size(), documents.size() * 12);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const std::vector<std::string> failures = RunOnThreads(kWriters, [&](int t) {
    for (int id = t * kEach; id < (t + 1) * kEach; ++id) {
      TreeOf(id)->Serialize(nullptr, nullptr, id % 2 != 0, nullptr, nullptr);
    }
  });
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(failures, kNoFailures);
  EXPECT_TRUE(IsConcatenationOf(out, documents)) << out.substr(0, 2000);
  EXPECT_TRUE(IsConcatenationOf(err, diagnostics)) << err.substr(0, 2000);
  EXPECT_EQ(PlatformState(), "down");
}

}  // namespace
