// MoxFilterContainer and MoxStreamProcess: chaining, results, ownership, copies.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "external/tools/filter_run.h"

namespace {

using moxxml_test::AppendToString;
using moxxml_test::RunFilter;

int Refuse(const char*, int, unsigned char*, void*) { return 1; }

int Throw(const char*, int, unsigned char*, void*) {
  throw MoxException(3, "MoxMsgPayloadFilterCallback", "Null pointer exception.");
}

int CountCalls(const char*, int, unsigned char* third, void* context) {
  EXPECT_EQ(third, nullptr);
  ++*static_cast<int*>(context);
  return 0;
}

TEST(MoxFilterContainer, PayloadSequenceWritesTheWholeOutput) {
  // Init before AddProcess, one Update, Final: the order the payload uses.
  std::string output;
  auto container = std::make_unique<MoxFilterContainer>();
  auto encoder = std::make_unique<MoxFilterBase64>();
  container->writeCallback = &AppendToString;
  container->writeContext = &output;
  EXPECT_EQ(container->Init(), MOXSTREAM_OK);
  container->AddProcess(encoder.get());
  EXPECT_EQ(container->Update("abc", 3), MOXSTREAM_OK);
  EXPECT_EQ(container->Final(), MOXSTREAM_OK);
  container.reset();
  encoder.reset();
  EXPECT_EQ(output, "YWJj\r\n");
}

TEST(MoxFilterContainer, WithoutProcessesPassesInputThrough) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  const std::string input("a\0b", 3);
  EXPECT_EQ(container.Update(input.data(), 3), MOXSTREAM_OK);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, input);
}

TEST(MoxFilterContainer, ChainsProcessesInOrder) {
  const std::string input = "caf\xe9 = ok\r\n";
  MoxFilterQuotedPrintable qp;
  MoxFilterBase64 base64;
  const std::string expected = RunFilter(base64, RunFilter(qp, input, 0), 0);

  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  container.AddProcess(&qp);
  container.AddProcess(&base64);
  for (char c : input) EXPECT_EQ(container.Update(&c, 1), MOXSTREAM_OK);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, expected);

  // The reverse chain decodes it again.
  MoxUnfilterBase64 unbase64;
  MoxUnfilterQuotedPrintable unqp;
  std::string decoded;
  MoxFilterContainer back;
  back.writeCallback = &AppendToString;
  back.writeContext = &decoded;
  back.AddProcess(&unbase64);
  back.AddProcess(&unqp);
  EXPECT_EQ(back.Update(output.data(), static_cast<int>(output.size())), MOXSTREAM_OK);
  EXPECT_EQ(back.Final(), MOXSTREAM_OK);
  EXPECT_EQ(decoded, input);
}

TEST(MoxFilterContainer, RefusesBadArgumentsAndMissingOutput) {
  std::string output;
  MoxFilterBase64 encoder;
  MoxFilterContainer container;
  container.AddProcess(&encoder);
  // No callback yet: the encoded line has nowhere to go.
  EXPECT_EQ(container.Update(std::string(57, 'x').data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  container.Init();
  const struct {
    const char* why;
    const char* data;
    int length;
    int result;
  } kRows[] = {
      {"negative length", "abc", -1, MOXSTREAM_ERR_INVALID_ARGUMENT},
      {"null data with a length", nullptr, 3, MOXSTREAM_ERR_INVALID_ARGUMENT},
      {"null data without one", nullptr, 0, MOXSTREAM_OK},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(container.Update(row.data, row.length), row.result);
    MoxFilterContainer empty;
    empty.writeCallback = &AppendToString;
    empty.writeContext = &output;
    EXPECT_EQ(empty.Update(row.data, row.length), row.result);
    EXPECT_EQ(encoder.Update(row.data, row.length), row.result);
  }
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, "");
}

TEST(MoxFilterContainer, ReportsARefusingCallbackAndPassesThrowsOn) {
  MoxFilterBase64 encoder;
  MoxFilterContainer container;
  container.AddProcess(&encoder);
  container.writeCallback = &Refuse;
  EXPECT_EQ(container.Update("abc", 3), MOXSTREAM_ERR_WRITE_FAILED);
  container.Cancel();
  EXPECT_EQ(container.Update("ab", 2), MOXSTREAM_OK);  // held: nothing written yet
  EXPECT_EQ(container.Final(), MOXSTREAM_ERR_WRITE_FAILED);

  container.writeCallback = &Throw;
  EXPECT_EQ(container.Update("ab", 2), MOXSTREAM_OK);
  try {
    container.Final();
    ADD_FAILURE() << "the callback's exception was swallowed";
  } catch (const MoxException& e) {
    EXPECT_EQ(e.GetResultCode(), 3);
  }
}

TEST(MoxFilterContainer, WritesLargeOutputInFewBlocks) {
  // Output goes on in blocks, never byte by byte.
  int calls = 0;
  MoxFilterBase64 encoder;
  MoxFilterContainer container;
  container.writeCallback = &CountCalls;
  container.writeContext = &calls;
  container.AddProcess(&encoder);
  const std::string input(1 << 20, 'z');
  EXPECT_EQ(container.Update(input.data(), static_cast<int>(input.size())), MOXSTREAM_OK);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_GT(calls, 0);
  EXPECT_LT(calls, 200);
}

TEST(MoxFilterContainer, DoesNotOwnItsProcesses) {
  MoxFilterBase64 encoder;
  {
    std::string output;
    MoxFilterContainer container;
    container.writeCallback = &AppendToString;
    container.writeContext = &output;
    container.AddProcess(&encoder);
  }
  // The process survives the container, cut loose from it.
  EXPECT_EQ(encoder.Update(std::string(57, 'x').data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
}

TEST(MoxFilterContainer, AProcessReleasedFirstLeavesTheChain) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  auto encoder = std::make_unique<MoxFilterQuotedPrintable>();
  container.AddProcess(encoder.get());
  encoder.reset();
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(output, "a=b");
}

TEST(MoxFilterContainer, AProcessIsInOneChainOnce) {
  std::string first;
  std::string second;
  MoxFilterContainer one;
  MoxFilterContainer two;
  one.writeCallback = two.writeCallback = &AppendToString;
  one.writeContext = &first;
  two.writeContext = &second;
  MoxFilterQuotedPrintable qp;
  one.AddProcess(&qp);
  one.AddProcess(&qp);  // would feed itself
  two.AddProcess(&qp);  // leaves one
  EXPECT_EQ(one.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(two.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(first, "a=b");
  EXPECT_EQ(second, "a=3Db");
}

TEST(MoxFilterContainer, ReplaceAndResetEditTheChain) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  MoxFilterBase64 base64;
  MoxFilterQuotedPrintable qp;
  container.AddProcess(&base64);
  container.ReplaceProcess(&base64, &qp);
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, "a=3Db");

  output.clear();
  container.ReplaceProcess(&base64, nullptr);  // not in the chain: nothing happens
  container.ReplaceProcess(&qp, nullptr);
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(output, "a=b");

  output.clear();
  container.AddProcess(&base64);
  container.ResetContainer();
  EXPECT_EQ(container.Update("a=b", 3), MOXSTREAM_OK);
  EXPECT_EQ(output, "a=b");
  EXPECT_EQ(base64.Update(std::string(57, 'x').data(), 57), MOXSTREAM_ERR_NO_OUTPUT);
}

TEST(MoxFilterContainer, CancelDropsHeldState) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  MoxFilterBase64 encoder;
  container.AddProcess(&encoder);
  EXPECT_EQ(container.Update("ab", 2), MOXSTREAM_OK);
  EXPECT_EQ(container.Cancel(), MOXSTREAM_OK);
  EXPECT_EQ(container.Update("foo", 3), MOXSTREAM_OK);
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  EXPECT_EQ(output, "Zm9v\r\n");
  EXPECT_EQ(container.LogCallback("x", nullptr, 0u), MOXSTREAM_OK);
}

int AppendSink(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}

// Finishes a process that is in no container: feeds rest, then Final.
std::string Finish(MoxStreamProcess& process, const std::string& rest) {
  std::string output;
  process.SetOutput(&AppendSink, &output);
  EXPECT_EQ(process.Update(rest.data(), static_cast<int>(rest.size())), MOXSTREAM_OK);
  EXPECT_EQ(process.Final(), MOXSTREAM_OK);
  process.SetOutput(nullptr, nullptr);
  return output;
}

// A copy or an assignment taken mid-stream continues exactly like the original.
template <typename Process>
void ExpectCopyContinuesLikeOriginal(const std::string& first, const std::string& rest) {
  Process original;
  std::string ignored;
  original.SetOutput(&AppendSink, &ignored);
  ASSERT_EQ(original.Update(first.data(), static_cast<int>(first.size())), MOXSTREAM_OK);
  Process copy(original);
  Process assigned;
  EXPECT_FALSE(assigned == original);
  assigned = original;
  EXPECT_TRUE(copy == original);
  EXPECT_TRUE(assigned == original);
  const std::string expected = Finish(original, rest);
  EXPECT_EQ(Finish(copy, rest), expected);
  EXPECT_EQ(Finish(assigned, rest), expected);
  EXPECT_TRUE(original == Process());  // Final leaves it ready for a new stream
}

TEST(MoxStreamProcess, CopiesKeepStreamState) {
  ExpectCopyContinuesLikeOriginal<MoxFilterBase64>("ab", "cdef");
  ExpectCopyContinuesLikeOriginal<MoxUnfilterBase64>("Zm9vY", "mFy");
  ExpectCopyContinuesLikeOriginal<MoxFilterQuotedPrintable>("a ", "\r\nb");
  ExpectCopyContinuesLikeOriginal<MoxUnfilterQuotedPrintable>("x=4", "1  \r\n");
  MoxFilterBase64 encoder;
  std::string ignored;
  encoder.SetOutput(&AppendSink, &ignored);
  encoder.Update("ab", 2);
  MoxFilterBase64 copy(encoder);
  EXPECT_EQ(Finish(copy, "c"), "YWJj\r\n");
}

// Reaches the protected CopyMembers through a derived class.
class CopyProbe : public MoxFilterBase64 {
 public:
  int CopyFrom(const MoxStreamProcess& other) { return CopyMembers(other); }
};

TEST(MoxStreamProcess, CopyMembersRefusesAnotherClass) {
  CopyProbe probe;
  MoxFilterQuotedPrintable other;
  EXPECT_EQ(probe.CopyFrom(other), MOXSTREAM_ERR_TYPE_MISMATCH);
  EXPECT_TRUE(probe != other);
}

TEST(MoxStreamProcess, DescribesItself) {
  MoxFilterBase64 b64;
  MoxUnfilterBase64 unb64;
  MoxFilterQuotedPrintable qp;
  MoxUnfilterQuotedPrintable unqp;
  const struct {
    const MoxStreamProcess* process;
    unsigned int type;
    const char* description;
  } kRows[] = {
      {&b64, MOXSTREAM_TYPE_BASE64, "base64 encoder"},
      {&unb64, MOXSTREAM_TYPE_BASE64, "base64 decoder"},
      {&qp, MOXSTREAM_TYPE_QUOTED_PRINTABLE, "quoted-printable encoder"},
      {&unqp, MOXSTREAM_TYPE_QUOTED_PRINTABLE, "quoted-printable decoder"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.description);
    EXPECT_EQ(row.process->GetFilterType(), row.type);
    EXPECT_EQ(row.process->GetDescription(), row.description);
  }
}

}  // namespace
