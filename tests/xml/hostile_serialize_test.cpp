// Serialize with huge values: manual checks, disabled by default because they need more than
// a gigabyte or many seconds. Run them with
//   build/dev/tests/xml/xml_tests --gtest_also_run_disabled_tests --gtest_filter='HugeSerialize.*'
// each in a process of its own (the memory check reads the process's peak resident size).
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>

#include <moxxml/moxxml.h>

namespace {

using MoxXML::MoxMsg::MoxMsgPayload;
using MoxXML::MoxMsg::MoxMsgRootElement;

struct Output {
  std::size_t length = 0;
  int calls = 0;
  std::string head, tail;
};

int Measure(const char* data, int length, void* context) {
  auto* output = static_cast<Output*>(context);
  output->length = static_cast<std::size_t>(length);
  output->head.assign(data, std::min(length, 64));
  output->tail.assign(data + length - std::min(length, 64), std::min(length, 64));
  ++output->calls;
  return 0;
}

int Ignore(const char*, int, void*) { return 0; }

std::size_t PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// A 100 MB payload, base64-encoded in the document: the peak memory of the whole call is a
// fixed multiple of the payload (measured: 824 MB peak growth, about 8 times, 13 s; glibc, x86-64,
// Xerces 3.2).
TEST(HugeSerialize, DISABLED_HundredMegabytePayloadStaysWithinTheMemoryBound) {
  constexpr std::size_t kSize = 100u << 20;
  std::string payload(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) payload[i] = static_cast<char>(i * 7 + (i >> 11));
  const std::size_t before = PeakResidentBytes();
  Output output;
  {
    MoxMsgRootElement root;
    auto* element = new MoxMsgPayload();
    element->SetTagName("payload");
    element->SetFilterType(MoxXML::MoxMsg::MOXFILTER_BASE64);
    element->SetTagValue(payload);
    root.AppendElement(element);
    EXPECT_EQ(root.Serialize(Measure, &output, false, Ignore, nullptr), 0);
  }
  const std::size_t growth = PeakResidentBytes() - before;
  std::printf("peak growth %zu MB for a %zu MB payload\n", growth >> 20, kSize >> 20);
  EXPECT_EQ(output.calls, 1);
  EXPECT_GT(output.length, kSize * 4 / 3);
  EXPECT_NE(output.tail.find("</payload></moxmsg>"), std::string::npos) << output.tail;
  EXPECT_LE(growth, 16 * kSize);
}

// A document longer than INT_MAX bytes cannot be handed to the int-length callback: it is
// refused with code 9 and the table's text, and the callback is never called. Each '&' is written
// as
// "&amp;", so 430 MiB of them make 2.2 GB of text; needs about 6 GB
// (measured: 5.3 GB peak, 34 s).
TEST(HugeSerialize, DISABLED_TextLongerThanIntMaxIsRefused) {
  MoxMsgRootElement root;
  auto* element = new MoxMsgPayload();
  element->SetTagName("payload");
  element->SetTagValue(std::string(std::size_t{430} << 20, '&'));
  root.AppendElement(element);
  Output output;
  try {
    root.Serialize(Measure, &output, false, Ignore, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const MoxException& e) {
    EXPECT_EQ(e.GetResultCode(), MoxXML::MOXXMLERR_OUT_OF_MEMORY);
    EXPECT_EQ(e.GetWhere(), "MoxXMLObject::Serialize");
    EXPECT_EQ(e.GetText(), "Out of memory.");
  }
  EXPECT_EQ(output.calls, 0);
}

}  // namespace
