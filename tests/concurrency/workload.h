// RunOnThreads, PlatformState, CapturedMdns, DocumentText, ReferenceTexts, ExpectSameTexts: the
// work the concurrency suite hands to many threads at once, and how it judges the results.
#pragma once

#include <algorithm>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>

#include <moxxml/moxxml.h>

#include "external/mime/mime_test_util.h"
#include "support/full_document.h"

namespace moxxml_concurrency {

// Starts count threads that all begin body(thread) at the same moment and joins them. What a
// body throws fails the test.
template <typename Body>
void RunOnThreads(int count, Body&& body) {
  std::promise<void> go;
  std::shared_future<void> start = go.get_future().share();
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t) {
    threads.emplace_back([&, t] {
      start.wait();
      try {
        body(t);
      } catch (const std::exception& e) {
        ADD_FAILURE() << "thread " << t << " threw: " << e.what();
      }
    });
  }
  go.set_value();
  for (std::thread& thread : threads) thread.join();
}

// "up" when Xerces' memory manager and transcoding service exist, "down" when the last
// Terminate has cleared both, "half" for a platform caught in between. Read atomically: other
// threads may be starting or stopping it.
inline std::string PlatformState() {
  namespace xerces = XERCES_CPP_NAMESPACE;
  const bool memory =
      __atomic_load_n(&xerces::XMLPlatformUtils::fgMemoryManager, __ATOMIC_ACQUIRE) != nullptr;
  const bool transcoding =
      __atomic_load_n(&xerces::XMLPlatformUtils::fgTransService, __ATOMIC_ACQUIRE) != nullptr;
  return memory != transcoding ? "half" : memory ? "up" : "down";
}

// The bundled test messages whose names start with prefix, sorted.
inline std::vector<std::string> MessagePaths(const std::string& prefix) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(MOXXML_TEST_DATA "/messages")) {
    const std::string name = entry.path().filename();
    if (entry.path().extension() == ".eml" && name.rfind(prefix, 0) == 0) {
      paths.push_back(entry.path());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The bundled AS2 MDNs, each captured by a target of its own fed in pieces of feed bytes, and
// a parsed header block. Belongs to one thread: SetMsgInfoMime walks a target's tree.
struct CapturedMdns {
  explicit CapturedMdns(size_t feed) {
    for (const std::string& path : MessagePaths("as2-mdn-")) {
      targets.push_back(std::make_unique<MDNAndPayloadMIMEOutputTarget>(logger));
      moxxml_test::Parse(*targets.back(), moxxml_test::ReadFile(path), static_cast<long>(feed));
    }
    static const char kHeaders[] = "Subject: order\r\nContent-Type: text/plain; charset=utf-8\r\n";
    MIMEParse(headers.get(), kHeaders, sizeof kHeaders - 1, 0, nullptr);
  }
  MDNAndPayloadMIMEOutputTarget* For(int id) const {
    return targets[static_cast<size_t>(id) % targets.size()].get();
  }
  LoggerInterface logger;
  std::vector<std::unique_ptr<MDNAndPayloadMIMEOutputTarget>> targets;
  std::unique_ptr<mime_header_context, decltype(&MIMEFree)> headers{MIMEInit(), MIMEFree};
};

// Document id from a fresh builder, indented for every other pair of ids, and its diagnostics.
// A throw fails the test.
inline std::string DocumentText(int id, const CapturedMdns& mdns) {
  MoxMsgBuilder builder;
  moxxml_test::FillDocument(builder, id, mdns.For(id), mdns.headers.get());
  return moxxml_test::Written(builder, id / 2 % 2 != 0);
}

// Documents 0 to count - 1, each written alone on this thread while no other runs. The guard
// only makes this quick.
inline std::vector<std::string> ReferenceTexts(int count) {
  const CapturedMdns mdns(0);
  const MoxXML::MoxXMLPlatformGuard platform;
  std::vector<std::string> texts;
  for (int id = 0; id < count; ++id) texts.push_back(DocumentText(id, mdns));
  return texts;
}

// One failure for all documents that differ, showing the first of them.
inline void ExpectSameTexts(const std::vector<std::string>& got,
                            const std::vector<std::string>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  size_t differ = 0, first = 0;
  for (size_t id = got.size(); id-- > 0;) {
    if (got[id] != expected[id]) ++differ, first = id;
  }
  EXPECT_EQ(got[first], expected[first]) << differ << " documents differ, the first is " << first;
}

}  // namespace moxxml_concurrency
