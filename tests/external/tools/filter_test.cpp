// MoxFilterContainer and MoxStreamProcess: chain order, results, ownership, stream copies;
// MoxException, which a throwing write callback passes through them.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>

#include <moxxml/moxxml.h>

namespace {

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

// What hosts read back from MoxException; null pointers must read as empty strings, not crash.
// FormatRCAndText fills only an empty text, once.
TEST(MoxException, KeepsCodeOperationAndText) {
  using Fields = std::tuple<int, std::string, std::string, std::string>;
  auto fields = [](const MoxException& e) {
    return Fields{e.GetResultCode(), e.GetWhere(), e.GetText(), e.what()};
  };
  EXPECT_EQ(fields(MoxException(7, "A::B", "text")), (Fields{7, "A::B", "text", "text"}));
  EXPECT_EQ(fields(MoxException(-3, "two\nlines")), (Fields{-3, "", "two\nlines", "two\nlines"}));
  EXPECT_EQ(fields(MoxException(1, nullptr, nullptr)), (Fields{1, "", "", ""}));
  MoxException empty(9, "W::X", ""), full(9, "W::X", "Out of memory.");
  empty.FormatRCAndText();
  empty.FormatRCAndText();
  full.FormatRCAndText();
  EXPECT_EQ(empty.GetText(), "Result code 9.");
  EXPECT_EQ(full.GetText(), "Out of memory.");
}

}  // namespace
