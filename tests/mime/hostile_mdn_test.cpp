// FullPath, RunFullPath: the deepest tree the parser allows, and 100k levels, go through MDN
// capture, the builder, Serialize and destruction on a thread with a 256 KiB stack.
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

#include "external/mime/mime_test_util.h"
#include "support/parsed_xml.h"

namespace {

// `levels` nested multiparts, each with a few headers and parameters, around a
// notification.
std::string NestedMessage(int levels) {
  std::string message;
  for (int i = 0; i < levels; ++i) {
    const std::string b = "b" + std::to_string(i);
    message += "Content-Type: multipart/mixed; boundary=" + b +
               "; x*0=a; x*1=b\r\nX-Level: " + std::to_string(i) + "\r\n\r\n--" + b + "\r\n";
  }
  return message +
         "Content-Type: message/disposition-notification\r\n\r\nDisposition: automatic-action/"
         "MDN-sent-automatically; processed\r\n";
}

struct FullPath {
  std::string message;
  std::string xml;
  bool threw = false;
};

void* RunFullPath(void* argument) {
  auto* run = static_cast<FullPath*>(argument);
  try {
    LoggerInterface logger;
    MDNAndPayloadMIMEOutputTarget target(logger);
    MIMEMessageParser parser(target);
    parser.Update(run->message.data(), static_cast<int>(run->message.size()));
    parser.Final();
    MoxMsgBuilder builder;
    builder.SetMsgInfoMime(&target);
    std::string diagnostics;
    builder.Serialize(run->xml, diagnostics, true);
  } catch (...) {
    run->threw = true;
  }
  return nullptr;
}

TEST(HostileMdn, DeepestTreeRunsTheFullPathOnA256KiBStack) {
#if defined(__SANITIZE_ADDRESS__)
  // ASan's redzones and fake frames make every frame several times larger; the real
  // 256 KiB check runs in the plain build.
  constexpr std::size_t kStack = 4u << 20;
#else
  constexpr std::size_t kStack = 256u << 10;
#endif
  // The deepest tree allowed (63 multiparts around the notification), and 100k levels of
  // which the parser keeps the same 64.
  for (const int levels : {63, 100000}) {
    SCOPED_TRACE(std::to_string(levels) + " levels");
    FullPath run;
    run.message = NestedMessage(levels);
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kStack), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, RunFullPath, &run), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
    ASSERT_FALSE(run.threw);

    // 64 nested mimeparts; the notification's fields in the last when it is within reach.
    const moxxml_test::ParsedNode doc = moxxml_test::ParseXml(run.xml);
    const moxxml_test::ParsedNode* part = &doc.At("msginfo/mime/mimepart");
    int depth = 1;
    while (const moxxml_test::ParsedNode* child = part->Child("mimepart")) {
      part = child;
      ++depth;
    }
    EXPECT_EQ(depth, 64);
    EXPECT_EQ(part->At("headers").Child("disposition") != nullptr, levels == 63);
  }
}

}  // namespace
