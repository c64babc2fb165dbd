// Hostile header text and streams: MIMEParse and MIMEMessageParser give a defined result for
// malformed and oversized input, the same at every feed size, within the documented limits.
#include <gtest/gtest.h>
#include <string>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::ParseToDump;
using moxxml_test::Str;

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

// "name=value" per header (value up to its recorded length), parameters in brackets; the
// result code first.
std::string ParseHeaders(const std::string& text) {
  mime_header_context* context = MIMEInit();
  const int result = MIMEParse(context, text.data(), static_cast<int>(text.size()), 0, nullptr);
  std::string out = std::to_string(result) + ":";
  for (const mime_header_context* h = context->next; h; h = h->next) {
    out += Str(h->name) + "=" + std::string(h->value ? h->value : "", h->valueLength);
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      out += "[" + Str(p->name) + "=" + Str(p->value) + "]";
    }
    out += ";";
  }
  MIMEFree(context);
  return out;
}

// Content types with their depth, one entity per line, from a tree dump.
std::string Shape(const std::string& dump) {
  std::string shape;
  for (std::size_t at = 0; (at = dump.find("entity ", at)) != std::string::npos;) {
    const std::size_t end = dump.find('\n', at);
    shape += dump.substr(at + 7, end - at - 7) + "|";
    at = end;
  }
  return shape;
}

TEST(HostileHeaderText, MalformedFieldsHaveADefinedReading) {
  std::string manyParms = "Content-Type: a/b";
  for (int i = 0; i < 10000; ++i) manyParms += "; p" + std::to_string(i) + "=v";
  std::string first100;
  for (int i = 0; i < 100; ++i) first100 += "[p" + std::to_string(i) + "=v]";
  const struct {
    const char* why;
    std::string text;
    std::string parsed;
  } rows[] = {
      {"unterminated quote at the end", "Content-Type: a/b; n=\"abc",
       "1:Content-Type=a/b[n=\"abc];"},
      {"escape at the end of a quoted string", "Content-Type: a/b; n=\"x\\",
       "1:Content-Type=a/b[n=\"x\\];"},
      {"escape of the closing quote", "Content-Type: a/b; n=\"x\\\"; m=1\n",
       "1:Content-Type=a/b[n=\"x\\\"; m=1];"},
      {"10k parameters keep the first 100", manyParms, "1:Content-Type=a/b" + first100 + ";"},
      {"RFC 2231 gap: present sections joined", "Content-Type: a/b; t*0=a; t*2=c; t*5=f\n",
       "1:Content-Type=a/b[t=acf];"},
      {"RFC 2231 section number of 30 digits ignored",
       "Content-Type: a/b; t*0=a; t*" + std::string(30, '9') + "=z\n", "1:Content-Type=a/b[t=a];"},
      {"RFC 2231 repeated section keeps the first", "Content-Type: a/b; t*0=a; t*0=b\n",
       "1:Content-Type=a/b[t=a];"},
      {"bad percent escapes stay as they are", "Content-Disposition: x; f*=utf-8''a%ZZ%4%%41%\n",
       "1:Content-Disposition=x[f=a%ZZ%4%A%];"},
      {"semicolon flood (the parameter split was quadratic)",
       "Content-Type: a/b" + std::string(1 << 22, ';') + "\n", "1:Content-Type=a/b;"},
      {"two Content-Type fields are both kept", "Content-Type: a/b\nContent-Type: c/d\n",
       "2:Content-Type=a/b;Content-Type=c/d;"},
      {"NUL and 8-bit bytes in a value are kept", std::string("X: a\0\xff b\n", 9),
       std::string("1:X=a\0\xff b;", 10)},
      {"NUL in a field name", std::string("X\0Y: 1\n", 7), "-5:"},
      {"8-bit byte in a field name", "X\xe9: 1\n", "-5:"},
      {"bare CR inside a line stays in the value", "A: 1\rB: 2\nC: 3\n", "2:A=1\rB: 2;C=3;"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(ParseHeaders(row.text), row.parsed);
    // The streaming path reads the same text as an entity header: same at every feed size.
    const std::string message = row.text + "\n\nbody";
    const std::string whole = ParseToDump(message, 0);
    for (std::size_t size : moxxml_test::FeedSizes()) {
      EXPECT_EQ(ParseToDump(message, static_cast<long>(size)), whole);
    }
  }
}

TEST(HostileHeaderText, FirstContentTypeWinsAndFieldLimitIsAppliedWhileScanning) {
  std::string fields;
  for (int i = 0; i < 1500; ++i) fields += "X-" + std::to_string(i) + ": v\n";
  const struct {
    const char* why;
    std::string header;
    const char* type;
    int recorded;
  } rows[] = {
      {"two Content-Type fields", "Content-Type: image/png\nContent-Type: text/html\n", "image/png",
       2},
      {"1500 fields, 1000 recorded", fields + "Content-Type: text/html\n", "text/plain", 1000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    for (std::size_t size : moxxml_test::FeedSizes()) {
      MIMEEntityDescription description(0);
      moxxml_test::FeedInPieces(row.header + "\nbody", size, [&](const char* p, std::size_t n) {
        description.Update(p, static_cast<int>(n));
      });
      EXPECT_EQ(description.GetContentType(), row.type);
      int recorded = 0;
      for (mime_header_context* h = description.GetMIMEHEADERCTX()->next; h; h = h->next) {
        ++recorded;
      }
      EXPECT_EQ(recorded, row.recorded);
    }
  }
}

TEST(HostileStream, MalformedStructuresHaveADefinedTree) {
  const std::string mixed = "Content-Type: multipart/mixed; boundary=";
  const std::string b200(200, 'b');
  const struct {
    const char* why;
    std::string message;
    const char* shape;
  } rows[] = {
      {"empty boundary: a leaf", mixed + "\"\"\n\n--\n\nx\n----\n", "0 multipart/mixed|"},
      {"200-character boundary works", mixed + b200 + "\n\n--" + b200 + "\n\nx\n--" + b200 + "--\n",
       "0 multipart/mixed|1 text/plain|"},
      {"999-character boundary: a leaf",
       mixed + std::string(999, 'b') + "\n\n--" + std::string(999, 'b') + "\n\nx\n",
       "0 multipart/mixed|"},
      {"no start delimiter: no part", mixed + "b\n\njust text\n", "0 multipart/mixed|"},
      {"close delimiter before any part", mixed + "b\n\n--b--\n--b\n\nx\n", "0 multipart/mixed|"},
      {"delimiter text mid-line is body", mixed + "b\n\n--b\n\nx --b\nx--b--\n--b--\n",
       "0 multipart/mixed|1 text/plain|"},
      {"inner boundary a prefix of the outer",
       mixed + "bb\n\n--bb\n" + mixed + "b\n\n--b\n\ni\n--bb\n\no\n--bb--\n",
       "0 multipart/mixed|1 multipart/mixed|2 text/plain|1 text/plain|"},
      {"outer boundary a prefix of the inner",
       mixed + "b\n\n--b\n" + mixed + "bb\n\n--bb\n\ni\n--b\n\no\n--b--\n",
       "0 multipart/mixed|1 multipart/mixed|2 text/plain|1 text/plain|"},
      {"truncated inside a header: the field as it stands",
       mixed + "b\n\n--b\nContent-Type: text/ht", "0 multipart/mixed|1 text/ht|"},
      {"truncated inside a delimiter", mixed + "b\n\n--b\n\nx\n--",
       "0 multipart/mixed|1 text/plain|"},
      {"truncated Content-Type: a multipart without boundary", "Content-Type: multipart/mi",
       "0 multipart/mi|"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    const std::string whole = ParseToDump(row.message, 0);
    EXPECT_EQ(Shape(whole), row.shape);
    for (long feed : {1L, 2L, 3L, 7L, 64L, -5L}) EXPECT_EQ(ParseToDump(row.message, feed), whole);
  }
}

// Sizes far past the limits: the parse stays linear and within bounded depth. Fed whole and
// in 64-byte pieces only, to keep the suite quick.
TEST(HostileStream, HugeCountsStayWithinTheLimits) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) {
    nested += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
              std::to_string(i) + "\n";
  }
  const std::string rfc822 = Repeat("Content-Type: message/rfc822\n\n", 100000);
  const std::string parts =
      "Content-Type: multipart/mixed; boundary=b\n\n" + Repeat("--b\n\n", 100000) + "--b--\n";
  const struct {
    const char* why;
    std::string message;
    int deepest;
    std::size_t entities;
  } rows[] = {
      {"100k nested multiparts", nested, 63, 64},
      {"100k nested messages", rfc822, 63, 64},
      {"100k empty parts", parts, 1, 100001},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    const std::string whole = ParseToDump(row.message, 0);
    int deepest = 0;
    std::size_t entities = 0;
    for (std::size_t at = 0; (at = whole.find("entity ", at)) != std::string::npos; at += 7) {
      deepest = std::max(deepest, std::stoi(whole.substr(at + 7)));
      ++entities;
    }
    EXPECT_EQ(deepest, row.deepest);
    EXPECT_EQ(entities, row.entities);
    EXPECT_EQ(ParseToDump(row.message, 64), whole);
  }
}

}  // namespace
