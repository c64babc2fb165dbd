// The tools layer. MoxFilterBase64, MoxUnfilterBase64, MoxFilterQuotedPrintable,
// MoxUnfilterQuotedPrintable: RFC vectors, line layout, lenient decoding, and the same output
// however the input is cut. MoxFilterContainer and MoxStreamProcess: chain order, results,
// ownership, stream copies. MoxException, which a throwing write callback passes through them.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>

#include <moxxml/moxxml.h>

#include "support/chunking.h"

namespace {

using moxxml_test::FeedSizeName;
using moxxml_test::FeedSizes;
constexpr auto Rep = moxxml_test::Repeat;

enum Codec { kB64, kUnB64, kQp, kUnQp };

const std::string k57(57, 'x');  // a full base64 line: the encoder must write it out

int Append(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}
int Write(const char* data, int length, unsigned char*, void* context) {
  return Append(data, length, context);
}
int Refuse(const char*, int, unsigned char*, void*) { return 1; }
int Throw(const char*, int, unsigned char*, void*) {
  throw MoxException(3, "MoxMsgPayloadFilterCallback", "Null pointer exception.");
}

// Runs input through a fresh codec in a container, as the payload does, in pieces of feedSize
// bytes (0: whole) or, given a seed, of random sizes from 1 to feedSize; all calls succeed.
std::string Coded(Codec codec, const std::string& input, size_t feedSize = 0, unsigned seed = 0) {
  MoxFilterBase64 b64;
  MoxUnfilterBase64 unB64;
  MoxFilterQuotedPrintable qp;
  MoxUnfilterQuotedPrintable unQp;
  MoxStreamProcess* const processes[] = {&b64, &unB64, &qp, &unQp};
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &Write;
  container.writeContext = &output;
  EXPECT_EQ(container.Init(), MOXSTREAM_OK);
  container.AddProcess(processes[codec]);
  auto update = [&](const char* data, size_t length) {
    EXPECT_EQ(container.Update(data, static_cast<int>(length)), MOXSTREAM_OK);
  };
  if (seed != 0)
    moxxml_test::FeedRandomChunks(input, seed, feedSize, update);
  else
    moxxml_test::FeedInPieces(input, feedSize, update);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  return output;
}

TEST(Codecs, GiveTheirOutputAtEveryFeedSizeAndEncodingsDecodeBack) {
  const std::string line = Rep("YWFh", 19) + "\r\n", blanks(100, ' ');
  const struct {
    Codec codec;
    std::string in;
    std::string out;
  } kRows[] = {
      // clang-format off
      // RFC 4648 10; RFC 2045 6.8: lines of at most 76 characters (57 bytes), each, the last
      // too, ended by CRLF.
      {kB64, "", ""}, {kB64, "f", "Zg==\r\n"}, {kB64, "fo", "Zm8=\r\n"}, {kB64, "foo", "Zm9v\r\n"},
      {kB64, "foob", "Zm9vYg==\r\n"}, {kB64, "fooba", "Zm9vYmE=\r\n"},
      {kB64, "foobar", "Zm9vYmFy\r\n"}, {kB64, std::string(3, '\0'), "AAAA\r\n"},
      {kB64, std::string(1, '\0'), "AA==\r\n"}, {kB64, "\xff\xff\xff", "////\r\n"},
      {kB64, "\xfb\xff", "+/8=\r\n"}, {kB64, std::string(56, 'a'), Rep("YWFh", 18) + "YWE=\r\n"},
      {kB64, std::string(57, 'a'), line}, {kB64, std::string(58, 'a'), line + "YQ==\r\n"},
      {kB64, std::string(117, 'a'), line + line + "YWFh\r\n"},
      // Decoding skips line breaks, blanks, characters outside the alphabet, 8-bit and NUL.
      {kUnB64, "Zm9v\r\nYm\nFy\r\n", "foobar"}, {kUnB64, " Zm 9v\tYm\t\tFy ", "foobar"},
      {kUnB64, "Zm9v!!Ym*F-y~_", "foobar"}, {kUnB64, std::string("\xff\x80Zm\x01\09v", 8), "foo"},
      // Missing padding is no error; a lone sextet at the end is dropped.
      {kUnB64, "Zm9vYg", "foob"}, {kUnB64, "Zm9vYmE", "fooba"}, {kUnB64, "Zm9vY", "foo"},
      // Padding ends a group, so concatenated encodings decode; after one sextet it drops it.
      {kUnB64, "Zg==Zm8=Zm9v", "ffofoo"}, {kUnB64, "Zg=Zg", "ff"}, {kUnB64, "====", ""},
      {kUnB64, "Zm9v====", "foo"}, {kUnB64, "Z=Zm9v", "foo"}, {kUnB64, "\r\n !*\r\n", ""},
      // Junk and padding inside full-length lines.
      {kUnB64, Rep("YWFh", 9) + "!" + Rep("YWFh", 9) + "YWF\r\nh\r\n", std::string(57, 'a')},
      {kUnB64, Rep("YWFh", 9) + "YQ==" + Rep("YWFh", 9) + "\r\n" + line, std::string(112, 'a')},
      // RFC 2045 6.7 rule 1: "=", 8-bit bytes, NUL and controls in upper-case hex.
      {kQp, "", ""}, {kQp, "a=b", "a=3Db"}, {kQp, "caf\xe9\xff", "caf=E9=FF"},
      {kQp, std::string("\0\x1f\x7f", 3), "=00=1F=7F"},
      // Rules 3 and 4: CRLF stays a hard break; only the blank before it, or at the end, is
      // encoded; lone CR and LF are encoded and a blank before them stays.
      {kQp, "one\r\ntwo\r\n", "one\r\ntwo\r\n"}, {kQp, "sp \r\ntab\t\r\n", "sp=20\r\ntab=09\r\n"},
      {kQp, "a  \r\n", "a =20\r\n"}, {kQp, "end ", "end=20"}, {kQp, "a \tb", "a \tb"},
      {kQp, "a\nb", "a=0Ab"}, {kQp, "a\rb", "a=0Db"}, {kQp, "a \rb", "a =0Db"},
      {kQp, "a \r", "a =0D"}, {kQp, "a \nb", "a =0Ab"}, {kQp, "a\r\r\n", "a=0D\r\n"},
      // Rule 5: 75 characters and a soft break; an encoded byte is never split; a hard break
      // resets the column.
      {kQp, std::string(75, 'a'), std::string(75, 'a')},
      {kQp, std::string(76, 'a'), std::string(75, 'a') + "=\r\na"},
      {kQp, std::string(73, 'a') + "=", std::string(73, 'a') + "=\r\n=3D"},
      {kQp, Rep("=", 30), Rep("=3D", 25) + "=\r\n" + Rep("=3D", 5)},
      {kQp, Rep("a", 70) + "\r\n" + Rep("b", 70), Rep("a", 70) + "\r\n" + Rep("b", 70)},
      // Decoding: lower-case hex; soft breaks with CRLF or LF, trailing blanks, or at the end.
      {kUnQp, "caf=e9=3d=Ff", "caf\xe9=\xff"}, {kUnQp, "soft=\r\nbreak", "softbreak"},
      {kUnQp, "soft=\nbreak", "softbreak"}, {kUnQp, "soft= \t \r\nbreak", "softbreak"},
      {kUnQp, "soft=  \nbreak", "softbreak"}, {kUnQp, "end=", "end"}, {kUnQp, "end=  ", "end"},
      {kUnQp, "end=\r", "end"}, {kUnQp, "=\r\n=\n=\r\n", ""},
      // A malformed "=" sequence passes through.
      {kUnQp, "end=A", "end=A"}, {kUnQp, "=ZZ", "=ZZ"}, {kUnQp, "=Ag", "=Ag"},
      {kUnQp, "=A=3D", "=A="}, {kUnQp, "==41", "=A"}, {kUnQp, "a= b", "a= b"},
      {kUnQp, "a=\rb", "a=\rb"},
      // Blanks before a line end or at the end are dropped, but not before a lone CR.
      {kUnQp, "line \t \r\nnext", "line\r\nnext"}, {kUnQp, "one\ntwo \n", "one\ntwo\n"},
      {kUnQp, "end  ", "end"}, {kUnQp, "a  \rb", "a  \rb"}, {kUnQp, "a \r", "a \r"},
      {kUnQp, std::string("\xe9\0\x80", 3), std::string("\xe9\0\x80", 3)},
      // Of a run of blanks longer than the hold, only the held tail is dropped.
      {kUnQp, blanks + "x", blanks + "x"}, {kUnQp, blanks + "\r\n", std::string(76, ' ') + "\r\n"},
      {kUnQp, "=" + blanks + "x", "=" + blanks + "x"},
      // clang-format on
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(::testing::PrintToString(row.in));
    for (size_t feedSize : FeedSizes()) {
      SCOPED_TRACE(FeedSizeName(feedSize));
      EXPECT_EQ(Coded(row.codec, row.in, feedSize), row.out);
      // Encodings decode back.
      if (row.codec == kB64 || row.codec == kQp) {
        EXPECT_EQ(Coded(Codec(row.codec + 1), row.out, feedSize), row.in);
      }
    }
  }
}

// Random inputs, mostly blanks, CR, LF and "=" and now and then a run of blanks longer than the
// decoder holds, so that the line-end rules meet the piece boundaries often. Fixed seeds: a
// failure reproduces. At random pieces, each encoding is the one-shot encoding and decodes
// back, and the raw input, malformed for the decoders, decodes as it does in one shot.
TEST(Codecs, RandomInputsInRandomPiecesMatchOneShotAndGiveWellFormedLines) {
  std::mt19937 random(19961101);
  const std::string tricky = " \t\r\n=a";
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> pick(0, tricky.size() * 2 - 1), size(0, 5000);
  for (Codec codec : {kB64, kQp}) {
    const Codec decoder = Codec(codec + 1);
    for (unsigned round = 1; round <= 200; ++round) {
      SCOPED_TRACE(::testing::Message() << "codec " << codec << " round " << round);
      std::string input(size(random), '\0');
      for (char& c : input) {
        const size_t p = pick(random);
        c = p < tricky.size() ? tricky[p] : static_cast<char>(byte(random));
      }
      if (round % 4 == 0) input.insert(input.size() / 2, 60 + round % 64, "\t "[round % 8 != 0]);
      const std::string encoded = Coded(codec, input, 300, round);
      ASSERT_EQ(encoded, Coded(codec, input));
      ASSERT_EQ(Coded(decoder, encoded, 300, round + 1000), input);
      ASSERT_EQ(Coded(decoder, input, 300, round + 2000), Coded(decoder, input));
      // Lines of at most 76 characters of the code's alphabet, ended by CRLF (base64, the
      // last too); a quoted-printable line does not end in a blank.
      for (size_t start = 0, end = 0; start < encoded.size(); start = end + 2) {
        end = std::min(encoded.find("\r\n", start), encoded.size());
        ASSERT_LE(end - start, 76u);
        const std::string line = encoded.substr(start, end - start);
        for (unsigned char c : line) {
          ASSERT_TRUE(codec == kB64 ? std::isalnum(c) || (c != 0 && std::strchr("+/=", c))
                                    : c == ' ' || c == '\t' || (c > 32 && c < 127))
              << line;
        }
        ASSERT_TRUE(codec == kQp || end < encoded.size()) << "no CRLF after " << line;
        ASSERT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t')) << line;
      }
    }
  }
}

TEST(MoxFilterContainer, RefusesBadArgumentsAndReportsARefusingOrThrowingCallback) {
  MoxFilterBase64 encoder;
  MoxFilterContainer container;
  container.AddProcess(&encoder);
  // No callback yet: the encoded line has nowhere to go.
  EXPECT_EQ(container.Update(k57.data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
  EXPECT_EQ(container.Update("abc", -1), MOXSTREAM_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(container.Update(nullptr, 3), MOXSTREAM_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(encoder.Update(nullptr, 3), MOXSTREAM_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(container.Update(nullptr, 0), MOXSTREAM_OK);
  container.writeCallback = &Refuse;
  EXPECT_EQ(container.Update("abc", 3), MOXSTREAM_ERR_WRITE_FAILED);
  container.Cancel();
  EXPECT_EQ(container.Update("ab", 2), MOXSTREAM_OK);  // held: nothing written yet
  EXPECT_EQ(container.Final(), MOXSTREAM_ERR_WRITE_FAILED);
  // The payload's callback throws; the exception must reach the caller.
  container.writeCallback = &Throw;
  EXPECT_EQ(container.Update("ab", 2), MOXSTREAM_OK);
  EXPECT_THROW(container.Final(), MoxException);
}

// A chain runs its processes in order. A process that dies before its container, or outlives
// it, is cut loose: no dangling link either way. ReplaceProcess removes or swaps a process and
// ignores one not in the chain; a removed process is in no chain.
TEST(MoxFilterContainer, ChainsInOrderOwnsNoProcessAndReplaceProcessEditsTheChain) {
  MoxFilterQuotedPrintable qp;
  MoxFilterBase64 base64, survivor;
  std::make_unique<MoxFilterContainer>()->AddProcess(&survivor);
  EXPECT_EQ(survivor.Update(k57.data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
  std::string output;
  MoxFilterContainer chain;
  chain.writeCallback = &Write;
  chain.writeContext = &output;
  chain.AddProcess(std::make_unique<MoxFilterBase64>().get());
  chain.AddProcess(&qp);
  chain.AddProcess(&base64);
  for (char c : std::string("caf\xe9 = ok\r\n")) EXPECT_EQ(chain.Update(&c, 1), MOXSTREAM_OK);
  EXPECT_EQ(chain.Final(), MOXSTREAM_OK);
  chain.ReplaceProcess(&base64, nullptr);
  EXPECT_EQ(base64.Update(k57.data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
  chain.ReplaceProcess(&survivor, nullptr);
  EXPECT_EQ(chain.Update("a=b", 3), MOXSTREAM_OK);
  chain.ReplaceProcess(&qp, &base64);
  EXPECT_EQ(chain.Update(k57.data(), 57), MOXSTREAM_OK);
  // base64 of "caf=E9 =3D ok\r\n", then "a=b" quoted-printable, then 57 bytes in base64.
  std::string line = "Y2FmPUU5ID0zRCBvaw0K\r\na=3Db";
  for (int i = 0; i < 19; ++i) line += "eHh4";
  EXPECT_EQ(output, line + "\r\n");
}

// A copy or assignment taken mid-stream from a process in a chain holds its own state and is in
// no chain: the chain and the original die first, and each copy ends the stream alone.
TEST(MoxStreamProcess, CopiesKeepStreamStateButNotTheChain) {
  std::string ignored, copied;
  auto chain = std::make_unique<MoxFilterContainer>();
  auto original = std::make_unique<MoxUnfilterQuotedPrintable>();
  chain->writeCallback = &Write;
  chain->writeContext = &ignored;
  chain->AddProcess(original.get());
  EXPECT_EQ(chain->Update("x=4", 3), MOXSTREAM_OK);
  MoxUnfilterQuotedPrintable copy(*original), assigned;
  assigned = *original;
  chain.reset();
  original.reset();
  for (MoxStreamProcess* process : {&copy, &assigned}) {
    process->SetOutput(&Append, &copied);  // not through a container: that starts a new stream
    EXPECT_EQ(process->Update("1  \r\n", 5), MOXSTREAM_OK);
    EXPECT_EQ(process->Final(), MOXSTREAM_OK);
  }
  EXPECT_EQ(copied, "A\r\nA\r\n");
}

// Null pointers must read as empty strings, not crash. FormatRCAndText fills only an empty
// text, once. (Code, operation and text are read back by every refusal test of the library.)
TEST(MoxException, NullPointersAndFormatRCAndText) {
  MoxException nulls(1, nullptr, nullptr), empty(9, "W::X", ""), full(9, "W::X", "Out of memory.");
  EXPECT_TRUE(nulls.GetWhere().empty() && nulls.GetText().empty() && *nulls.what() == '\0');
  empty.FormatRCAndText();
  empty.FormatRCAndText();
  full.FormatRCAndText();
  EXPECT_EQ(empty.GetText(), "Result code 9.");
  EXPECT_EQ(full.GetText(), "Out of memory.");
}

}  // namespace
