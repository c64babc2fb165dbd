// Document benchmarks: the representative receipt filled into the builder and serialised,
// beside the same document built directly as a Xerces DOM and as a pugixml tree.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>

#include <moxxml/moxxml.h>

#include "document.h"
#include "xerces_peer.h"

#ifdef MOXXML_BENCH_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;

constexpr size_t kPayloadSize = 4096;

// How the platform is held: initialised and terminated inside every call, or once by the host.
enum class Platform { kPerCall, kHeld };

// The raw Xerces peer holds its platform as a host without our library would.
class XercesHostPlatform {
 public:
  explicit XercesHostPlatform(Platform policy) : held(policy == Platform::kHeld) {
    if (held) xerces::XMLPlatformUtils::Initialize();
  }
  XercesHostPlatform(const XercesHostPlatform&) = delete;
  XercesHostPlatform& operator=(const XercesHostPlatform&) = delete;
  ~XercesHostPlatform() {
    if (held) xerces::XMLPlatformUtils::Terminate();
  }

 private:
  bool held;
};

// Our side holds it through the library's guard.
std::unique_ptr<MoxXML::MoxXMLPlatformGuard> HeldBy(Platform policy) {
  if (policy == Platform::kPerCall) return nullptr;
  return std::make_unique<MoxXML::MoxXMLPlatformGuard>();
}

// The builder's document as a tree; the peers are checked to write the same text once.
const bench::XmlNode& Tree() {
  static const bench::XmlNode tree = [] {
    const std::string expected = bench::BuilderXml(kPayloadSize);
    bench::XmlNode parsed = bench::ParseTree(expected);
    std::string written;
    {
      const MoxXML::MoxXMLPlatformGuard platform;
      bench::XercesWrite(parsed, &written);
    }
    if (written != expected) {
      std::fprintf(stderr, "the Xerces peer writes a different document\n");
      std::abort();
    }
    return parsed;
  }();
  return tree;
}

void Fill(benchmark::State& state) {
  bench::RepresentativeDocument document(kPayloadSize);
  for (auto _ : state) {
    MoxMsgBuilder builder;
    document.Fill(builder);
    benchmark::DoNotOptimize(&builder);
  }
}

void FillSerializeMoxxml(benchmark::State& state, Platform policy) {
  bench::RepresentativeDocument document(kPayloadSize);
  const auto platform = HeldBy(policy);
  for (auto _ : state) {
    const std::string xml = document.FillAndSerialize();
    benchmark::DoNotOptimize(xml.data());
  }
}

// The same unit of work on every benchmark thread at once, each thread with its own document
// and builders, as a gateway's workers. Throughput is documents per second of wall clock,
// summed over the threads. Each thread's guard is made before the timed loop starts on any
// thread, so with kHeld the platform is up for the whole measurement, as under one host guard.
void FillSerializeParallel(benchmark::State& state, Platform policy) {
  bench::RepresentativeDocument document(kPayloadSize);
  const auto platform = HeldBy(policy);
  for (auto _ : state) {
    const std::string xml = document.FillAndSerialize();
    benchmark::DoNotOptimize(xml.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void FillSerializeXerces(benchmark::State& state, Platform policy) {
  const bench::XmlNode& tree = Tree();
  XercesHostPlatform platform(policy);
  for (auto _ : state) {
    if (policy == Platform::kPerCall) xerces::XMLPlatformUtils::Initialize();
    benchmark::DoNotOptimize(bench::XercesWrite(tree, nullptr));
    if (policy == Platform::kPerCall) xerces::XMLPlatformUtils::Terminate();
  }
}

#ifdef MOXXML_BENCH_PUGIXML
void Build(pugi::xml_node element, const bench::XmlNode& node) {
  for (const auto& attribute : node.attributes) {
    element.append_attribute(attribute.first.c_str()).set_value(attribute.second.c_str());
  }
  if (!node.text.empty()) element.append_child(pugi::node_pcdata).set_value(node.text.c_str());
  for (const bench::XmlNode& child : node.children) {
    Build(element.append_child(child.name.c_str()), child);
  }
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

void FillSerializePugixml(benchmark::State& state) {
  const bench::XmlNode& tree = Tree();
  for (auto _ : state) {
    pugi::xml_document document;
    Build(document.append_child(tree.name.c_str()), tree);
    StringWriter writer;
    document.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    benchmark::DoNotOptimize(writer.text.data());
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  auto unit = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond); };
  unit(benchmark::RegisterBenchmark("Document/Fill/moxxml", Fill));
  for (Platform policy : {Platform::kPerCall, Platform::kHeld}) {
    const std::string suffix = policy == Platform::kPerCall ? "/percall" : "/held";
    unit(benchmark::RegisterBenchmark(("Document/FillSerialize/moxxml" + suffix).c_str(),
                                      FillSerializeMoxxml, policy));
    unit(benchmark::RegisterBenchmark(("Document/FillSerialize/xerces" + suffix).c_str(),
                                      FillSerializeXerces, policy));
  }
  for (Platform policy : {Platform::kPerCall, Platform::kHeld}) {
    const std::string name = policy == Platform::kPerCall ? "Document/Parallel/moxxml/percall"
                                                          : "Document/Parallel/moxxml/held";
    unit(benchmark::RegisterBenchmark(name.c_str(), FillSerializeParallel, policy)
             ->Threads(1)
             ->Threads(2)
             ->UseRealTime());
  }
#ifdef MOXXML_BENCH_PUGIXML
  unit(benchmark::RegisterBenchmark("Document/FillSerialize/pugixml", FillSerializePugixml));
#else
  std::fprintf(stderr, "document_bench: built without pugixml, its comparison is skipped\n");
#endif
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
