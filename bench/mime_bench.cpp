// MIME parsing benchmarks: MIMEMessageParser into an MDNAndPayloadMIMEOutputTarget over a
// 50 MiB multipart/mixed message of 200 parts and over a 5 MiB MDN, fed in 64 KiB and in
// 1-byte chunks, beside GMime's parser on the same bytes.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <string>

#include <moxxml/moxxml.h>

#include "mime_messages.h"

#ifdef MOXXML_BENCH_GMIME
#include <gmime/gmime.h>
#endif

namespace {

void ParseMoxxml(benchmark::State& state, const std::string& (*input)(), size_t chunk) {
  const std::string& message = input();
  for (auto _ : state) {
    LoggerInterface logger;
    MDNAndPayloadMIMEOutputTarget target(logger);
    MIMEMessageParser parser(target);
    for (size_t at = 0; at < message.size(); at += chunk) {
      const size_t length = std::min(chunk, message.size() - at);
      if (parser.Update(message.data() + at, static_cast<int>(length)) != MIME_PARSER_OK) {
        state.SkipWithError("Update failed");
      }
    }
    if (parser.Final() != MIME_PARSER_OK) state.SkipWithError("Final failed");
    benchmark::DoNotOptimize(target.GetRootNode());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

#ifdef MOXXML_BENCH_GMIME
// GMime reads the bytes from a memory stream over one array that outlives the iterations.
void ParseGMime(benchmark::State& state, const std::string& (*input)()) {
  const std::string& message = input();
  GByteArray* bytes = g_byte_array_sized_new(static_cast<guint>(message.size()));
  g_byte_array_append(bytes, reinterpret_cast<const guint8*>(message.data()),
                      static_cast<guint>(message.size()));
  for (auto _ : state) {
    GMimeStream* stream = g_mime_stream_mem_new_with_byte_array(bytes);
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* parsed = g_mime_parser_construct_message(parser, nullptr);
    if (parsed == nullptr) state.SkipWithError("GMime could not parse the message");
    benchmark::DoNotOptimize(parsed);
    if (parsed != nullptr) g_object_unref(parsed);
    g_object_unref(parser);
    g_object_unref(stream);
  }
  g_byte_array_unref(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
#ifdef MOXXML_BENCH_GMIME
  g_mime_init();
#endif
  struct Input {
    const char* name;
    const std::string& (*bytes)();
  };
  for (const Input& input :
       {Input{"mixed50M", &bench::MixedMessage}, Input{"mdn5M", &bench::MdnMessage}}) {
    const std::string name = std::string("Mime/") + input.name;
    benchmark::RegisterBenchmark((name + "/moxxml").c_str(), ParseMoxxml, input.bytes,
                                 size_t{64} << 10)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/moxxml_1byte").c_str(), ParseMoxxml, input.bytes,
                                 size_t{1})
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
#ifdef MOXXML_BENCH_GMIME
    benchmark::RegisterBenchmark((name + "/gmime").c_str(), ParseGMime, input.bytes)
        ->Unit(benchmark::kMillisecond);
#endif
  }
#ifndef MOXXML_BENCH_GMIME
  std::fprintf(stderr, "mime_bench: built without GMime, its comparison is skipped\n");
#endif
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#ifdef MOXXML_BENCH_GMIME
  g_mime_shutdown();
#endif
  return 0;
}
