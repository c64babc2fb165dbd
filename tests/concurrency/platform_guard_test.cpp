// MoxXMLPlatformGuard: holds the XML platform until the last guard or Serialize ends, whatever
// the order, the nesting and the threads on which guards are made and ended.
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "concurrency/workload.h"
#include "support/chunking.h"

namespace {

using MoxXML::MoxXMLPlatformGuard;
using moxxml_concurrency::CapturedMdns;
using moxxml_concurrency::Differences;
using moxxml_concurrency::DocumentText;
using moxxml_concurrency::PlatformState;
using moxxml_concurrency::ReferenceTexts;
using moxxml_concurrency::RunOnThreads;

const std::vector<std::string> kNoFailures;

// On one thread: the platform is up exactly while a guard or a Serialize holds it; guards end
// in any order, and a Serialize inside a guard leaves the platform up.
TEST(PlatformGuard, HoldsThePlatformUntilTheLastHolderEnds) {
  const CapturedMdns mdns(0);
  const std::vector<std::string> expected = ReferenceTexts(1);
  EXPECT_EQ(PlatformState(), "down");
  EXPECT_EQ(DocumentText(0, mdns), expected[0]);
  EXPECT_EQ(PlatformState(), "down") << "Serialize alone must stop what it started";

  auto outer = std::make_unique<MoxXMLPlatformGuard>();
  EXPECT_EQ(PlatformState(), "up");
  auto inner = std::make_unique<MoxXMLPlatformGuard>();
  EXPECT_EQ(DocumentText(0, mdns), expected[0]);
  EXPECT_EQ(PlatformState(), "up") << "Serialize stopped a held platform";
  outer.reset();  // the first made ends first
  EXPECT_EQ(PlatformState(), "up");
  inner.reset();
  EXPECT_EQ(PlatformState(), "down");
  {
    const MoxXMLPlatformGuard again;  // the platform comes back up after it went down
    EXPECT_EQ(PlatformState(), "up");
    EXPECT_EQ(DocumentText(0, mdns), expected[0]);
  }
  EXPECT_EQ(PlatformState(), "down");
}

// Guards made and ended on many threads at once, nested in each other and around Serialize
// calls, and guards ended by another thread than the one that made them: every text is right
// and the platform is down once the last of them has ended.
TEST(PlatformGuard, GuardsOnManyThreadsNestWithSerializeAndEndAnywhere) {
  constexpr int kThreads = 8;
  constexpr int kEach = 40;
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kThreads * kEach);
  std::vector<std::string> got(expected.size());
  std::mutex handedOverLock;
  std::vector<std::unique_ptr<MoxXMLPlatformGuard>> handedOver;

  EXPECT_EQ(RunOnThreads(kThreads,
                         [&](int t) {
                           const CapturedMdns mdns(0);
                           for (int i = 0; i < kEach; ++i) {
                             const int id = t * kEach + i;
                             auto text = [&] { got[size_t(id)] = DocumentText(id, mdns); };
                             switch (id % 4) {
                               case 0: {
                                 const MoxXMLPlatformGuard guard;
                                 text();
                                 break;
                               }
                               case 1:
                                 text();
                                 break;
                               case 2: {
                                 const MoxXMLPlatformGuard outer;
                                 {
                                   const MoxXMLPlatformGuard inner;
                                   text();
                                 }
                                 text();
                                 break;
                               }
                               default: {
                                 // Made here, ended by whichever thread comes next.
                                 auto guard = std::make_unique<MoxXMLPlatformGuard>();
                                 text();
                                 std::unique_ptr<MoxXMLPlatformGuard> other;
                                 std::lock_guard<std::mutex> hold(handedOverLock);
                                 if (!handedOver.empty()) {
                                   other = std::move(handedOver.back());
                                   handedOver.pop_back();
                                 }
                                 handedOver.push_back(std::move(guard));
                               }
                             }
                           }
                         }),
            kNoFailures);
  EXPECT_EQ(handedOver.size(), 1u);
  EXPECT_EQ(PlatformState(), "up") << "a guard handed over still holds the platform";
  handedOver.clear();
  EXPECT_EQ(PlatformState(), "down");
  EXPECT_EQ(Differences(got, expected), "");
}

// A pool's guard made before its workers start outlives them: the platform stays up after the
// threads that used it are gone, serves this thread too, and goes down with the guard.
TEST(PlatformGuard, AGuardOutlivesTheWorkersThatUsedIt) {
  constexpr int kWorkers = 4;
  constexpr int kEach = 20;
  ASSERT_EQ(PlatformState(), "down");
  const std::vector<std::string> expected = ReferenceTexts(kWorkers * kEach + 1);
  std::vector<std::string> got(expected.size());
  auto pool = std::make_unique<MoxXMLPlatformGuard>();
  EXPECT_EQ(RunOnThreads(kWorkers,
                         [&](int t) {
                           const CapturedMdns mdns(moxxml_test::FeedSizes()[size_t(t)]);
                           for (int id = t * kEach; id < (t + 1) * kEach; ++id) {
                             got[size_t(id)] = DocumentText(id, mdns);
                           }
                         }),
            kNoFailures);
  EXPECT_EQ(PlatformState(), "up");
  const CapturedMdns mdns(0);
  got.back() = DocumentText(kWorkers * kEach, mdns);
  EXPECT_EQ(PlatformState(), "up");
  pool.reset();
  EXPECT_EQ(PlatformState(), "down");
  EXPECT_EQ(Differences(got, expected), "");
}

}  // namespace
