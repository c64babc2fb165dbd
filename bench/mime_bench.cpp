// MIME parsing benchmarks: MIMEMessageParser into an MDNAndPayloadMIMEOutputTarget over a
// 50 MiB multipart/mixed message of 200 parts and over a 5 MiB MDN, fed in 64 KiB and in
// 1-byte chunks, beside GMime's parser on the same bytes.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <string>

#include <moxxml/moxxml.h>

#include "random.h"

#ifdef MOXXML_BENCH_GMIME
#include <gmime/gmime.h>
#endif

namespace {

constexpr size_t kMixedSize = size_t{50} << 20;
constexpr int kMixedParts = 200;
constexpr size_t kMdnSize = size_t{5} << 20;

// Base64-looking body lines (76 characters and CRLF) up to size bytes.
void AppendBody(std::string& out, size_t size, uint64_t seed) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t end = out.size() + size;
  uint64_t state = seed;
  while (out.size() + 78 <= end) {
    for (int i = 0; i < 76; ++i) out += kAlphabet[bench::NextRandom(state) >> 58];
    out += "\r\n";
  }
}

const std::string& Mixed() {
  static const std::string message = [] {
    static constexpr char kBoundary[] = "----=_Part_200_1733440538.bench";
    std::string text =
        "Message-ID: <mixed.1733440538@as2.partner.example.net>\r\n"
        "Date: Sat, 05 Dec 2026 23:15:38 GMT\r\n"
        "From: sender@as2.partner.example.net\r\n"
        "Subject: Batch of 200 documents\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"";
    text += kBoundary;
    text += "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n";
    text.reserve(kMixedSize + 4096);
    const size_t partSize = (kMixedSize - text.size()) / kMixedParts - 256;
    for (int part = 0; part < kMixedParts; ++part) {
      text += "\r\n--";
      text += kBoundary;
      text += "\r\nContent-Type: application/edi-x12; name=\"doc" + std::to_string(part) +
              ".edi\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: "
              "attachment; filename=\"doc" +
              std::to_string(part) + ".edi\"\r\nContent-ID: <part" + std::to_string(part) +
              "@as2.partner.example.net>\r\n\r\n";
      AppendBody(text, partSize, 0x9e3779b97f4a7c15u + static_cast<uint64_t>(part));
    }
    text += "\r\n--";
    text += kBoundary;
    text += "--\r\n";
    return text;
  }();
  return message;
}

// A signed-receipt MDN returning the original message: notice, disposition, original.
const std::string& Mdn() {
  static const std::string message = [] {
    std::string text =
        "Message-ID: <mdn.1733440537@as2.partner.example.net>\r\n"
        "Date: Sat, 05 Dec 2026 23:15:37 GMT\r\n"
        "From: mdn@as2.partner.example.net\r\n"
        "Subject: Message Disposition Notification\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/report; report-type=disposition-notification;\r\n"
        " boundary=\"----=_Part_4_1733440537\"\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: text/plain; charset=us-ascii\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n"
        "The message sent to PARTNER0042 has been received.\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: message/disposition-notification\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n"
        "Reporting-UA: ExampleAS2/3.1\r\n"
        "Original-Recipient: rfc822; PARTNER0042\r\n"
        "Final-Recipient: rfc822; PARTNER0042\r\n"
        "Original-Message-ID: <20261205T231538.4f2a9c@gw-prod-eu-03.example.com>\r\n"
        "Disposition: automatic-action/MDN-sent-automatically; processed\r\n"
        "Received-Content-MIC: 7v7F++fQaNJSqLa2nTAQxBJ7Ws0yQFKrWsd1gTNsiWE=, sha-256\r\n\r\n"
        "------=_Part_4_1733440537\r\n"
        "Content-Type: application/edi-x12\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n";
    AppendBody(text, kMdnSize - text.size() - 40, 0x2545f4914f6cdd1du);
    text += "\r\n------=_Part_4_1733440537--\r\n";
    return text;
  }();
  return message;
}

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
  for (const Input& input : {Input{"mixed50M", &Mixed}, Input{"mdn5M", &Mdn}}) {
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
