// Hostile header text and streams: MIMEParse and MIMEMessageParser give a defined result for
// malformed and oversized input, the same at every feed size, within the documented limits.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::ParseToDump;

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

// The result code, then the parsed headers.
std::string ParseHeaders(const std::string& text) {
  mime_header_context* context = MIMEInit();
  const int result = MIMEParse(context, text.data(), static_cast<int>(text.size()), 0, nullptr);
  const std::string out = std::to_string(result) + ":" + moxxml_test::Flatten(context);
  MIMEFree(context);
  return out;
}

// Content types with their depth, one entity per line, from a tree dump.
std::string Shape(const std::string& dump) {
  std::string shape, line;
  for (std::istringstream lines(dump); std::getline(lines, line);) {
    if (line.rfind("entity ", 0) == 0) shape += line.substr(7) + "|";
  }
  return shape;
}

TEST(HostileHeaderText, MalformedFieldsHaveADefinedReading) {
  std::string manyParms = "Content-Type: a/b";
  for (int i = 0; i < 10000; ++i) manyParms += "; p" + std::to_string(i) + "=v";
  std::string first100;
  for (int i = 0; i < 100; ++i) first100 += "[p" + std::to_string(i) + "=v]";
  const struct {
    std::string text;
    std::string parsed;
  } rows[] = {
      // clang-format off
      // Unterminated quote; escape at the end of a quoted string; escape of the closing quote.
      {"Content-Type: a/b; n=\"abc", "1:Content-Type=a/b[n=\"abc];"},
      {"Content-Type: a/b; n=\"x\\", "1:Content-Type=a/b[n=\"x\\];"},
      {"Content-Type: a/b; n=\"x\\\"; m=1\n", "1:Content-Type=a/b[n=\"x\\\"; m=1];"},
      // 10k parameters keep the first 100.
      {manyParms, "1:Content-Type=a/b" + first100 + ";"},
      // RFC 2231: a gap joins the present sections; a section number of 30 digits is ignored; a
      // repeated section keeps the first; bad percent escapes stay as they are.
      {"Content-Type: a/b; t*0=a; t*2=c; t*5=f\n", "1:Content-Type=a/b[t=acf];"},
      {"Content-Type: a/b; t*0=a; t*" + std::string(30, '9') + "=z\n", "1:Content-Type=a/b[t=a];"},
      {"Content-Type: a/b; t*0=a; t*0=b\n", "1:Content-Type=a/b[t=a];"},
      {"Content-Disposition: x; f*=utf-8''a%ZZ%4%%41%\n", "1:Content-Disposition=x[f=a%ZZ%4%A%];"},
      // Semicolon flood: the parameter split was quadratic.
      {"Content-Type: a/b" + std::string(1 << 22, ';') + "\n", "1:Content-Type=a/b;"},
      // NUL and 8-bit bytes: kept in a value, refused in a field name. A bare CR inside a line
      // stays in the value.
      {std::string("X: a\0\xff b\n", 9), std::string("1:X=a\0\xff b;", 10)},
      {std::string("X\0Y: 1\n", 7), "-5:"}, {"X\xe9: 1\n", "-5:"},
      {"A: 1\rB: 2\nC: 3\n", "2:A=1\rB: 2;C=3;"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 80));
    EXPECT_EQ(ParseHeaders(row.text), row.parsed);
    // The streaming path reads the same text as an entity header: same at every feed size.
    const std::string message = row.text + "\n\nbody";
    const std::string whole = ParseToDump(message, 0);
    for (long feed : moxxml_test::Feeds()) EXPECT_EQ(ParseToDump(message, feed), whole);
  }
}

TEST(HostileStream, MalformedStructuresHaveADefinedTree) {
  const std::string mixed = "Content-Type: multipart/mixed; boundary=";
  const std::string b200(200, 'b'), b999(999, 'b'), one = "0 multipart/mixed|";
  const std::string two = one + "1 text/plain|",
                    nested = one + "1 multipart/mixed|2 text/plain|1 text/plain|";
  const struct {
    std::string message;
    std::string shape;
  } rows[] = {
      // clang-format off
      // An empty boundary and one of 999 characters make a leaf; 200 characters work.
      {mixed + "\"\"\n\n--\n\nx\n----\n", one},
      {mixed + b200 + "\n\n--" + b200 + "\n\nx\n--" + b200 + "--\n", two},
      {mixed + b999 + "\n\n--" + b999 + "\n\nx\n", one},
      // No start delimiter: no part. A close delimiter before any part. Delimiter text mid-line
      // is body.
      {mixed + "b\n\njust text\n", one}, {mixed + "b\n\n--b--\n--b\n\nx\n", one},
      {mixed + "b\n\n--b\n\nx --b\nx--b--\n--b--\n", two},
      // The inner boundary a prefix of the outer, and the other way round.
      {mixed + "bb\n\n--bb\n" + mixed + "b\n\n--b\n\ni\n--bb\n\no\n--bb--\n", nested},
      {mixed + "b\n\n--b\n" + mixed + "bb\n\n--bb\n\ni\n--b\n\no\n--b--\n", nested},
      // Truncated inside a header (the field as it stands), inside a delimiter, and inside
      // Content-Type (a multipart without boundary).
      {mixed + "b\n\n--b\nContent-Type: text/ht", one + "1 text/ht|"},
      {mixed + "b\n\n--b\n\nx\n--", two}, {"Content-Type: multipart/mi", "0 multipart/mi|"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message.substr(0, 80));
    const std::string whole = ParseToDump(row.message, 0);
    EXPECT_EQ(Shape(whole), row.shape);
    for (long feed : {1L, 2L, 3L, 7L, 64L, -5L}) EXPECT_EQ(ParseToDump(row.message, feed), whole);
  }
}

// Counts far past the limits: 64 levels at most (nesting below becomes an opaque leaf), every
// byte reaches a target once and in order, and the parse stays linear. 100 levels run at every
// feed size; 100k only whole and in 64-byte pieces, to keep the suite quick.
TEST(HostileStream, HugeCountsStayWithinTheLimits) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) {
    nested += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
              std::to_string(i) + "\n";
  }
  const std::string rfc822 = Repeat("Content-Type: message/rfc822\n\n", 100000);
  const std::string parts =
      "Content-Type: multipart/mixed; boundary=b\n\n" + Repeat("--b\n\n", 100000) + "--b--\n";
  const std::string mega = "Content-Type: multipart/mixed; boundary=b\n\n--b\nX-A: 1\n\n" +
                           Repeat("--b-not-quite\nAAAAAAAAAAAAAAAAAAAAAAA\n", 28000) + "--b--\n";
  const struct {
    std::string message;
    long entities;
    const char* last;
    std::vector<long> feeds;
  } rows[] = {
      {nested.substr(0, nested.find("Content-Type: multipart/mixed; boundary=b100\n")) + "\nx\n",
       64, "63 multipart/mixed|", moxxml_test::Feeds()},
      {rfc822.substr(0, 3000), 64, "63 message/rfc822|", moxxml_test::Feeds()},
      {nested, 64, "63 multipart/mixed|", {64}},
      {rfc822, 64, "63 message/rfc822|", {64}},
      {parts, 100001, "1 text/plain|", {64}},
      // A megabyte of near-miss delimiter lines, one byte per call: a quadratic rescan of the
      // held line would take minutes here.
      {mega, 2, "1 text/plain|", {1}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message.size());
    const std::string whole = ParseToDump(row.message, 0), shape = Shape(whole);
    EXPECT_EQ(std::count(shape.begin(), shape.end(), '|'), row.entities);
    EXPECT_EQ(shape.substr(shape.rfind('|', shape.size() - 2) + 1), row.last);
    for (long feed : row.feeds) {
      std::string bytes;
      EXPECT_EQ(ParseToDump(row.message, feed, &bytes), whole);
      EXPECT_TRUE(bytes == row.message) << moxxml_test::FeedName(feed);
    }
  }
}

}  // namespace
