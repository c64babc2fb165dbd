// Large-payload benchmark: 64 MiB of random bytes as the base64 payload of the representative
// document, fill and Serialize beside raw Xerces writing the same text node. Run one
// benchmark per process (--benchmark_filter): the peak_rss counter is the process's peak
// resident size as a multiple of the payload.
#include <benchmark/benchmark.h>
#include <string>
#include <sys/resource.h>

#include <xercesc/util/PlatformUtils.hpp>

#include <moxxml/moxxml.h>

#include "document.h"
#include "xerces_peer.h"

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;

constexpr size_t kPayloadSize = size_t{64} << 20;

void ReportPeak(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss"] = static_cast<double>(usage.ru_maxrss) * 1024.0 / kPayloadSize;
}

void FillSerializeMoxxml(benchmark::State& state) {
  bench::RepresentativeDocument document(kPayloadSize);
  for (auto _ : state) {
    const std::string xml = document.FillAndSerialize();
    benchmark::DoNotOptimize(xml.data());
  }
  ReportPeak(state);
}

// The peer encodes with the same filter, so both sides hold the same text node.
void FillSerializeXerces(benchmark::State& state) {
  bench::XmlNode tree = bench::ParseTree(bench::BuilderXml(0));
  bench::XmlNode* payload = bench::FindPayload(tree);
  const std::string bytes = bench::RandomBytes(kPayloadSize, 0x9e3779b97f4a7c15u);
  for (auto _ : state) {
    std::string().swap(payload->text);
    bench::EncodeBase64(bytes, payload->text);
    xerces::XMLPlatformUtils::Initialize();
    benchmark::DoNotOptimize(bench::XercesWrite(tree, nullptr));
    xerces::XMLPlatformUtils::Terminate();
  }
  ReportPeak(state);
}

}  // namespace

BENCHMARK(FillSerializeMoxxml)->Name("Payload/FillSerialize/moxxml")->Unit(benchmark::kMillisecond);
BENCHMARK(FillSerializeXerces)->Name("Payload/FillSerialize/xerces")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
