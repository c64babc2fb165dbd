// MoxFilterContainer and MoxStreamProcess: chain order, results, ownership, stream copies.
#include <gtest/gtest.h>
#include <memory>
#include <string>

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

TEST(MoxFilterContainer, ChainsProcessesInOrder) {
  MoxFilterQuotedPrintable qp;
  MoxFilterBase64 base64;
  std::string output;
  MoxFilterContainer chain;
  chain.writeCallback = &Write;
  chain.writeContext = &output;
  chain.AddProcess(&qp);
  chain.AddProcess(&base64);
  for (char c : std::string("caf\xe9 = ok\r\n")) EXPECT_EQ(chain.Update(&c, 1), MOXSTREAM_OK);
  EXPECT_EQ(chain.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, "Y2FmPUU5ID0zRCBvaw0K\r\n");  // base64 of "caf=E9 =3D ok\r\n"
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

// A process that outlives its container, or dies before it, is cut loose: no dangling link
// either way. ReplaceProcess swaps or removes a process and ignores one not in the chain.
TEST(MoxFilterContainer, OwnsNoProcessAndReplaceProcessEditsTheChain) {
  MoxFilterBase64 survivor, base64;
  MoxFilterQuotedPrintable qp;
  std::make_unique<MoxFilterContainer>()->AddProcess(&survivor);
  EXPECT_EQ(survivor.Update(k57.data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &Write;
  container.writeContext = &output;
  container.AddProcess(std::make_unique<MoxFilterBase64>().get());
  container.AddProcess(&base64);
  container.ReplaceProcess(&base64, &qp);
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  container.ReplaceProcess(&base64, nullptr);
  container.ReplaceProcess(&qp, nullptr);
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(output, "a=3Dba=b");
  EXPECT_EQ(base64.Update(k57.data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
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

}  // namespace
