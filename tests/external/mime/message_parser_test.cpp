// MIMEMessageParser: entity splitting, byte attribution and limits, each at every feed size.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::FeedInPieces;
using moxxml_test::FeedRandomChunks;
using moxxml_test::FeedSizes;

// Bytes each entity received, entities numbered in document order.
class AttributionTarget : public MIMEOutputTarget {
 public:
  void Update(const char* data, int length, MIMEEntityDescription*, MIMEEntityDescription* entity,
              bool) override {
    bytes[Ordinal(entity)].append(data, static_cast<std::size_t>(length));
    // The description is fed before the target: it must never lag behind what we got.
    if (entity->IsFinalized()) {
      EXPECT_LE(entity->GetDataOffset(), static_cast<int>(bytes[Ordinal(entity)].size()));
    }
  }
  void Finalize(MIMEEntityDescription*, MIMEEntityDescription* entity, bool flag) override {
    incomplete.resize(bytes.size() + 1);
    const int ordinal = Ordinal(entity);
    incomplete[static_cast<std::size_t>(ordinal)] = flag;
    EXPECT_TRUE(entity->IsFinalized());
    open.pop_back();
  }
  void Cancel(MIMEEntityDescription*, MIMEEntityDescription*, bool) override {}

  int Ordinal(const MIMEEntityDescription* entity) {
    if (!open.empty() && open.back().first == entity) return open.back().second;
    open.emplace_back(entity, static_cast<int>(bytes.size()));
    bytes.emplace_back();
    return open.back().second;
  }
  std::vector<std::pair<const MIMEEntityDescription*, int>> open;
  std::vector<std::string> bytes;
  std::vector<bool> incomplete;
};

std::vector<std::string> Attribute(const std::string& message, long feed) {
  AttributionTarget target;
  MIMEMessageParser parser(target);
  auto update = [&](const char* p, std::size_t n) {
    EXPECT_EQ(parser.Update(p, static_cast<int>(n)), 0);
  };
  if (feed < 0) {
    FeedRandomChunks(message, static_cast<unsigned>(-feed), 31, update);
  } else {
    FeedInPieces(message, static_cast<std::size_t>(feed), update);
  }
  EXPECT_EQ(parser.Final(), 0);
  return target.bytes;
}

std::vector<long> Feeds() {
  std::vector<long> feeds(FeedSizes().begin(), FeedSizes().end());
  feeds.push_back(-7);
  feeds.push_back(-8);
  return feeds;
}

// Content types with their depth, one entity per line.
std::string Shape(const std::string& dump) {
  std::string shape;
  std::size_t at = 0;
  while ((at = dump.find("entity ", at)) != std::string::npos) {
    const std::size_t end = dump.find('\n', at);
    shape += dump.substr(at + 7, end - at - 7) + "|";
    at = end;
  }
  return shape;
}

TEST(MIMEMessageParser, StructuresAndByteAttribution) {
  const struct {
    const char* why;
    std::string message;
    const char* shape;
    std::vector<std::string> bytes;  // per entity in document order
  } rows[] = {
      {"preamble, two parts, epilogue",
       "Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n--b\r\n\r\none\r\n--b\r\n"
       "Content-Type: text/html\r\n\r\ntwo\r\n--b--\r\nepi\r\n",
       "0 multipart/mixed|1 text/plain|1 text/html|",
       {"Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n--b\r\n--b\r\n--b--\r\nepi\r\n",
        "\r\none\r\n", "Content-Type: text/html\r\n\r\ntwo\r\n"}},
      {"LF only, missing close delimiter",
       "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nA: 1\n\nx\n--b\n\ny",
       "0 multipart/mixed|1 text/plain|1 text/plain|",
       {"Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n--b\n", "A: 1\n\nx\n", "\ny"}},
      {"nested multipart closed by the outer delimiter",
       "Content-Type: multipart/mixed; boundary=o\n\n--o\n"
       "Content-Type: multipart/alternative; boundary=i\n\n--i\n\na\n--o\n\nb\n--o--\n",
       "0 multipart/mixed|1 multipart/alternative|2 text/plain|1 text/plain|",
       {"Content-Type: multipart/mixed; boundary=o\n\n--o\n--o\n--o--\n",
        "Content-Type: multipart/alternative; boundary=i\n\n--i\n", "\na\n", "\nb\n"}},
      {"message/rfc822 body is one child entity",
       "Content-Type: message/rfc822\n\nSubject: inner\n\nbody\n",
       "0 message/rfc822|1 text/plain|",
       {"Content-Type: message/rfc822\n\n", "Subject: inner\n\nbody\n"}},
      {"non-header line starts the body, mbox From line ignored",
       "From someone Mon Jan 1\nA: 1\nnot a header\nrest\n",
       "0 text/plain|",
       {"From someone Mon Jan 1\nA: 1\nnot a header\nrest\n"}},
      {"delimiter with transport padding, near miss stays in the body",
       "Content-Type: multipart/mixed; boundary=b\n\n--b \t\n\n--bx\n--b--\n",
       "0 multipart/mixed|1 text/plain|",
       {"Content-Type: multipart/mixed; boundary=b\n\n--b \t\n--b--\n", "\n--bx\n"}},
      {"multipart without boundary is a leaf",
       "Content-Type: multipart/mixed\n\n--b\nx\n",
       "0 multipart/mixed|",
       {"Content-Type: multipart/mixed\n\n--b\nx\n"}},
      {"digest parts default to message/rfc822",
       "Content-Type: multipart/digest; boundary=d\n\n--d\n\nSubject: s\n\nt\n--d--\n",
       "0 multipart/digest|1 message/rfc822|2 text/plain|",
       {"Content-Type: multipart/digest; boundary=d\n\n--d\n--d--\n", "\n", "Subject: s\n\nt\n"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    const std::string whole = moxxml_test::ParseToDump(row.message, 0);
    EXPECT_EQ(Shape(whole), row.shape);
    for (long feed : Feeds()) {
      SCOPED_TRACE("feed " + std::to_string(feed));
      EXPECT_EQ(moxxml_test::ParseToDump(row.message, feed), whole);
      EXPECT_EQ(Attribute(row.message, feed), row.bytes);
    }
  }
}

TEST(MIMEMessageParser, NestingBeyondTheDepthLimitBecomesAnOpaqueLeaf) {
  std::string message;
  for (int i = 0; i < 100; ++i) {
    message += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
               std::to_string(i) + "\n";
  }
  message += "\ninnermost\n";
  const std::string whole = moxxml_test::ParseToDump(message, 0);
  const std::string shape = Shape(whole);
  EXPECT_NE(shape.find("63 multipart/mixed|"), std::string::npos);
  EXPECT_EQ(shape.find("64 "), std::string::npos);
  for (long feed : Feeds()) EXPECT_EQ(moxxml_test::ParseToDump(message, feed), whole);
  // The same for encapsulated messages.
  std::string messages;
  for (int i = 0; i < 100; ++i) messages += "Content-Type: message/rfc822\n\n";
  EXPECT_EQ(Shape(moxxml_test::ParseToDump(messages, 0)).find("64 "), std::string::npos);
}

TEST(MIMEMessageParser, HeaderSizeLimitEndsTheHeaderBlock) {
  const std::string message = "A: " + std::string(300 * 1024, 'x') + "\nB: 1\n\nbody";
  const std::string whole = moxxml_test::ParseToDump(message, 0);
  EXPECT_EQ(whole, "entity 0 text/plain\n");  // the cut field is dropped
  EXPECT_EQ(moxxml_test::ParseToDump(message, 4096), whole);
}

TEST(MIMEMessageParser, OneByteFeedOfAMegabyteRuns) {
  // A megabyte of header-like noise and boundary-like lines, one byte per call: must run
  // in linear time (a quadratic rescan would take minutes here).
  std::string message = "Content-Type: multipart/mixed; boundary=b\n\n--b\nX-A: 1\n\n";
  while (message.size() < (1u << 20)) message += "--b-not-quite\nAAAAAAAAAAAAAAAAAAAAAAA\n";
  message += "--b--\n";
  std::string bytes;
  moxxml_test::ParseToDump(message, 1, &bytes);
  EXPECT_EQ(bytes, message);
}

TEST(MIMEMessageParser, FailsOnlyOnMisuse) {
  LoggerInterface logger;
  TreeBuilderMIMEOutputTarget target(logger);
  MIMEMessageParser parser(target);
  EXPECT_EQ(parser.Update(nullptr, 1), MIME_PARSER_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(parser.Update("x", -1), MIME_PARSER_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(parser.Update(":\n \n\x01\x02", 6), MIME_PARSER_OK);
  EXPECT_EQ(parser.Final(), MIME_PARSER_OK);
  EXPECT_EQ(parser.Update("x", 1), MIME_PARSER_ERR_FINISHED);
  EXPECT_EQ(parser.Final(), MIME_PARSER_ERR_FINISHED);
  ASSERT_NE(target.GetRootNode(), nullptr);
  EXPECT_NE(target.GetRootNode()->GetMIMEEntityDescription()->GetMIMEHEADERCTX(), nullptr);
}

}  // namespace
