// Serialize and MoxXMLPlatformGuard on many threads at once, each thread on its own builders and
// trees: every text is the one the same document gives alone, with the platform held and
// without, the platform's count stays balanced, and what goes to the standard streams stays
// whole.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/util/PanicHandler.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <moxxml/moxxml.h>

#include "concurrency/workload.h"
#include "support/chunking.h"

namespace moxxml_concurrency {
namespace {

namespace xerces = XERCES_CPP_NAMESPACE;
using MoxXML::MoxXMLPlatformGuard;
using moxxml_test::FeedSizes;

// Without the library's lock two threads serialising crashed at once, and a host's held
// platform outlived its Terminate because Xerces' count lost updates. 8 threads write 500
// different documents each: the first half while the main thread holds a guard (and each worker
// one of its own, ended later by the main thread), the second half with nothing held, so that
// calls keep meeting the platform as it comes up and goes down. Every text must equal its
// single-thread reference, and the platform must be down once the last holder has ended.
TEST(ConcurrentSerialize, EightThreadsWriteWhatOneThreadWritesWithAndWithoutAHeldPlatform) {
  constexpr int kThreads = 8, kEach = 500, kHalf = kEach / 2;
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kThreads * kEach);
  std::vector<std::string> got(expected.size());
  std::vector<std::unique_ptr<MoxXMLPlatformGuard>> workerGuards(kThreads);
  // Each thread captures its MDNs at its own feed size and writes documents [from, to) of its
  // share.
  auto write = [&](int t, int from, int to) {
    const CapturedMdns mdns(FeedSizes()[size_t(t) % FeedSizes().size()]);
    for (int id = t * kEach + from; id < t * kEach + to; ++id) {
      got[size_t(id)] = DocumentText(id, mdns);
    }
  };

  auto held = std::make_unique<MoxXMLPlatformGuard>();  // on this thread, which writes nothing
  RunOnThreads(kThreads, [&](int t) {
    workerGuards[size_t(t)] = std::make_unique<MoxXMLPlatformGuard>();  // ended by this thread
    write(t, 0, kHalf);
  });
  held.reset();
  EXPECT_EQ(PlatformState(), "up") << "the workers' guards no longer hold the platform";
  workerGuards.clear();
  EXPECT_EQ(PlatformState(), "down") << "the last guard's end did not stop the platform";

  RunOnThreads(kThreads, [&](int t) { write(t, kHalf, kEach); });
  EXPECT_EQ(PlatformState(), "down") << "the platform outlived the last Serialize";
  ExpectSameTexts(got, expected);
}

// Stands for a host's own initialisation: Terminate clears the user panic handler and the
// library's Initialize never sets one, so it is still installed only if the platform was never
// stopped in between.
class HostPanicHandler : public xerces::PanicHandler {
 public:
  void panic(const PanicReasons) override { std::abort(); }
};

// A host that initialises the platform before its workers start and terminates it after they
// end: the workers' calls and guards nest inside, so the platform stays up, never restarted,
// until the host's Terminate really stops it. The guards in quick succession at the end lose
// count updates within milliseconds when the count is not locked.
TEST(ConcurrentSerialize, AHostsOwnInitializeAndTerminateAroundTheWorkersStillBalance) {
  constexpr int kWorkers = 4, kEach = 60;
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kWorkers * kEach);
  std::vector<std::string> got(expected.size());
  HostPanicHandler handler;
  xerces::XMLPlatformUtils::Initialize(xerces::XMLUni::fgXercescDefaultLocale, nullptr, &handler);
  RunOnThreads(kWorkers, [&](int t) {
    const CapturedMdns mdns(FeedSizes()[size_t(t)]);
    for (int id = t * kEach; id < (t + 1) * kEach; ++id) {
      // Every third call within a guard of its own.
      const auto guard = id % 3 == 0 ? std::make_unique<MoxXMLPlatformGuard>() : nullptr;
      got[size_t(id)] = DocumentText(id, mdns);
    }
  });
  RunOnThreads(kWorkers, [](int) {  // for a second, so that the workers' time slices overlap
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end) const MoxXMLPlatformGuard quick;
  });
  EXPECT_EQ(xerces::XMLPlatformUtils::fgUserPanicHandler, &handler)
      << "the platform was stopped while the host held it";
  EXPECT_EQ(PlatformState(), "up");
  xerces::XMLPlatformUtils::Terminate();
  EXPECT_EQ(PlatformState(), "down") << "the host's Terminate left the platform up";
  ExpectSameTexts(got, expected);
}

// On one thread: the platform is up exactly while a guard or a Serialize holds it, guards end
// in any order, a Serialize inside a guard leaves it up, and it comes back after going down.
TEST(PlatformGuard, HoldsThePlatformUntilTheLastHolderEnds) {
  const CapturedMdns mdns(0);
  const std::string expected = ReferenceTexts(1)[0];
  EXPECT_EQ(DocumentText(0, mdns), expected);
  EXPECT_EQ(PlatformState(), "down") << "Serialize alone must stop what it started";
  for (int round = 0; round < 2; ++round) {
    auto outer = std::make_unique<MoxXMLPlatformGuard>();
    auto inner = std::make_unique<MoxXMLPlatformGuard>();
    EXPECT_EQ(DocumentText(0, mdns), expected);
    EXPECT_EQ(PlatformState(), "up") << "Serialize stopped a held platform";
    outer.reset();  // the first made ends first
    EXPECT_EQ(PlatformState(), "up");
    inner.reset();
    EXPECT_EQ(PlatformState(), "down");
  }
}

// Document id as a tree of 16 elements with values and attributes, three in four renamed past
// the tag-name check to names the DOM refuses, so that it also has diagnostics naming id.
std::unique_ptr<MoxXML::MoxMsg::MoxMsgRootElement> TreeOf(int id) {
  auto root = std::make_unique<MoxXML::MoxMsg::MoxMsgRootElement>();
  root->SetTagName("moxmsg");
  const std::string n = std::to_string(id);
  for (int i = 0; i < 16; ++i) {
    auto* element = new MoxXML::MoxMsg::MoxMsgElement();
    element->SetTagName("item" + std::to_string(i));
    root->AppendElement(element);
    element->SetTagValue("value " + n + " <&> " + std::to_string(i));
    element->AppendAttribute(new MoxXML::MoxMsg::MoxMsgAttr("note", "n" + n));
    if (i % 4 != 0) element->SetTagName("left out " + n + "." + std::to_string(i));
  }
  return root;
}

// Every piece appears whole in text, and nothing else is there.
void ExpectWholePieces(const std::string& text, const std::vector<std::string>& pieces) {
  size_t length = 0, broken = 0;
  for (const std::string& piece : pieces) {
    length += piece.size();
    broken += text.find(piece) == std::string::npos;
  }
  EXPECT_EQ(broken, 0u) << text.substr(0, 2000);
  EXPECT_EQ(text.size(), length);
}

// Serialize without callbacks writes to the standard streams. Threads doing so at once must
// still give whole documents and whole diagnostics, one after another, never mixed.
TEST(ConcurrentSerialize, DocumentsOnStandardOutputAndDiagnosticsOnStandardErrorStayWhole) {
  constexpr int kWriters = 4, kEach = 25;
  auto write = [](int id) {
    TreeOf(id)->Serialize(nullptr, nullptr, id % 2 != 0, nullptr, nullptr);
  };
  std::vector<std::string> documents, diagnostics;
  for (int id = 0; id < kWriters * kEach; ++id) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    write(id);
    documents.push_back(testing::internal::GetCapturedStdout());
    const std::string errors = testing::internal::GetCapturedStderr();
    for (size_t at = 0, next; at < errors.size(); at = next) {
      next = std::min(errors.find("\nError Message: ", at + 1), errors.size());
      diagnostics.push_back(errors.substr(at, next - at));
    }
  }
  ASSERT_EQ(diagnostics.size(), documents.size() * 12);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  RunOnThreads(kWriters, [&](int t) {
    for (int id = t * kEach; id < (t + 1) * kEach; ++id) write(id);
  });
  ExpectWholePieces(testing::internal::GetCapturedStdout(), documents);
  ExpectWholePieces(testing::internal::GetCapturedStderr(), diagnostics);
  EXPECT_EQ(PlatformState(), "down");
}

}  // namespace
}  // namespace moxxml_concurrency
