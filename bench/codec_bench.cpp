// Codec benchmarks: the four transfer-encoding filters over 64 MiB in 64 KiB Update calls,
// beside OpenSSL's EVP_EncodeBlock/EVP_DecodeBlock and GMime's step functions.
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "random.h"

#ifdef MOXXML_BENCH_OPENSSL
#include <openssl/evp.h>
#endif
#ifdef MOXXML_BENCH_GMIME
#include <gmime/gmime.h>
#endif

namespace {

constexpr size_t kInputSize = size_t{64} << 20;
constexpr size_t kUpdateSize = size_t{64} << 10;

using bench::NextRandom;

const std::string& Binary() {
  static const std::string data = bench::RandomBytes(kInputSize, 0x9e3779b97f4a7c15u);
  return data;
}

// Mail-like text: words, blanks, punctuation, about 3% 8-bit bytes, CRLF lines of 40 to 90.
const std::string& Text() {
  static const std::string data = [] {
    std::string text;
    text.reserve(kInputSize);
    uint64_t state = 0x2545f4914f6cdd1du;
    size_t lineEnd = 60;
    while (text.size() < kInputSize) {
      const uint64_t r = NextRandom(state);
      const unsigned pick = static_cast<unsigned>(r % 100);
      if (text.size() >= lineEnd) {
        text += "\r\n";
        lineEnd = text.size() + 40 + (r >> 32) % 50;
      } else if (pick < 15) {
        text += ' ';
      } else if (pick < 18) {
        text += static_cast<char>(0xc0 + (r >> 40) % 64);
      } else if (pick < 21) {
        text += ".,;:=-!?"[(r >> 40) % 8];
      } else {
        text += static_cast<char>('a' + (r >> 40) % 26);
      }
    }
    text.resize(kInputSize);
    return text;
  }();
  return data;
}

// Output goes to one preallocated buffer, as the other libraries write theirs.
struct Sink {
  std::vector<char> buffer;
  size_t used = 0;
};

int SinkWrite(const char* data, int length, unsigned char* /*third*/, void* context) {
  Sink& sink = *static_cast<Sink*>(context);
  std::memcpy(sink.buffer.data() + sink.used, data, static_cast<size_t>(length));
  sink.used += static_cast<size_t>(length);
  return 0;
}

std::string RunOnce(MoxStreamProcess& process, const std::string& input) {
  Sink sink;
  sink.buffer.resize(input.size() * 3 + input.size() / 8 + 1024);
  MoxFilterContainer container;
  container.writeCallback = &SinkWrite;
  container.writeContext = &sink;
  container.AddProcess(&process);
  container.Update(input.data(), static_cast<int>(input.size()));
  container.Final();
  return std::string(sink.buffer.data(), sink.used);
}

const std::string& Base64Encoded() {
  static const std::string data = [] {
    MoxFilterBase64 encoder;
    return RunOnce(encoder, Binary());
  }();
  return data;
}

const std::string& QuotedPrintableEncoded() {
  static const std::string data = [] {
    MoxFilterQuotedPrintable encoder;
    return RunOnce(encoder, Text());
  }();
  return data;
}

template <typename Process>
void RunFilter(benchmark::State& state, const std::string& input) {
  Sink sink;
  sink.buffer.resize(input.size() * 3 + input.size() / 8 + 1024);
  Process process;
  MoxFilterContainer container;
  container.writeCallback = &SinkWrite;
  container.writeContext = &sink;
  container.AddProcess(&process);
  for (auto _ : state) {
    sink.used = 0;
    container.Init();
    for (size_t offset = 0; offset < input.size(); offset += kUpdateSize) {
      const size_t length = std::min(kUpdateSize, input.size() - offset);
      container.Update(input.data() + offset, static_cast<int>(length));
    }
    container.Final();
    benchmark::DoNotOptimize(sink.buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Base64Encode_Moxxml(benchmark::State& state) {
  RunFilter<MoxFilterBase64>(state, Binary());
}
void BM_Base64Decode_Moxxml(benchmark::State& state) {
  RunFilter<MoxUnfilterBase64>(state, Base64Encoded());
}
void BM_QuotedPrintableEncode_Moxxml(benchmark::State& state) {
  RunFilter<MoxFilterQuotedPrintable>(state, Text());
}
void BM_QuotedPrintableDecode_Moxxml(benchmark::State& state) {
  RunFilter<MoxUnfilterQuotedPrintable>(state, QuotedPrintableEncoded());
}
BENCHMARK(BM_Base64Encode_Moxxml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode_Moxxml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotedPrintableEncode_Moxxml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotedPrintableDecode_Moxxml)->Unit(benchmark::kMillisecond);

#ifdef MOXXML_BENCH_OPENSSL
// EVP_EncodeBlock pads every call, so it gets pieces of 65535 bytes (a multiple of 3), and
// writes one unbroken line; EVP_DecodeBlock gets that unbroken text in pieces of 65536.
constexpr size_t kOpenSSLEncodePiece = kUpdateSize - 1;

const std::string& OpenSSLEncoded() {
  static const std::string data = [] {
    const std::string& input = Binary();
    std::string out(input.size() / 3 * 4 + 1024, '\0');
    size_t used = 0;
    for (size_t offset = 0; offset < input.size(); offset += kOpenSSLEncodePiece) {
      const size_t length = std::min(kOpenSSLEncodePiece, input.size() - offset);
      used += static_cast<size_t>(EVP_EncodeBlock(
          reinterpret_cast<unsigned char*>(&out[used]),
          reinterpret_cast<const unsigned char*>(input.data() + offset), static_cast<int>(length)));
    }
    out.resize(used);
    return out;
  }();
  return data;
}

void BM_Base64Encode_OpenSSL(benchmark::State& state) {
  const std::string& input = Binary();
  std::vector<unsigned char> out(input.size() / 3 * 4 + 1024);
  for (auto _ : state) {
    size_t used = 0;
    for (size_t offset = 0; offset < input.size(); offset += kOpenSSLEncodePiece) {
      const size_t length = std::min(kOpenSSLEncodePiece, input.size() - offset);
      used += static_cast<size_t>(EVP_EncodeBlock(
          out.data() + used, reinterpret_cast<const unsigned char*>(input.data() + offset),
          static_cast<int>(length)));
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Base64Decode_OpenSSL(benchmark::State& state) {
  const std::string& input = OpenSSLEncoded();
  std::vector<unsigned char> out(input.size() + 1024);
  for (auto _ : state) {
    size_t used = 0;
    for (size_t offset = 0; offset < input.size(); offset += kUpdateSize) {
      const size_t length = std::min(kUpdateSize, input.size() - offset);
      used += static_cast<size_t>(EVP_DecodeBlock(
          out.data() + used, reinterpret_cast<const unsigned char*>(input.data() + offset),
          static_cast<int>(length)));
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_Base64Encode_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode_OpenSSL)->Unit(benchmark::kMillisecond);
#endif

#ifdef MOXXML_BENCH_GMIME
using StepFunction = size_t (*)(const unsigned char*, size_t, unsigned char*, int*, guint32*);

void RunGMime(benchmark::State& state, const std::string& input, StepFunction step,
              StepFunction close) {
  std::vector<unsigned char> out(input.size() * 4 + 1024);
  for (auto _ : state) {
    int codecState = 0;
    guint32 save = 0;
    size_t used = 0;
    for (size_t offset = 0; offset < input.size(); offset += kUpdateSize) {
      const size_t length = std::min(kUpdateSize, input.size() - offset);
      used += step(reinterpret_cast<const unsigned char*>(input.data() + offset), length,
                   out.data() + used, &codecState, &save);
    }
    if (close != nullptr) used += close(nullptr, 0, out.data() + used, &codecState, &save);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Base64Encode_GMime(benchmark::State& state) {
  RunGMime(state, Binary(), &g_mime_encoding_base64_encode_step,
           &g_mime_encoding_base64_encode_close);
}
void BM_Base64Decode_GMime(benchmark::State& state) {
  RunGMime(state, Base64Encoded(), &g_mime_encoding_base64_decode_step, nullptr);
}
void BM_QuotedPrintableEncode_GMime(benchmark::State& state) {
  RunGMime(state, Text(), &g_mime_encoding_quoted_encode_step,
           &g_mime_encoding_quoted_encode_close);
}
void BM_QuotedPrintableDecode_GMime(benchmark::State& state) {
  RunGMime(state, QuotedPrintableEncoded(), &g_mime_encoding_quoted_decode_step, nullptr);
}
BENCHMARK(BM_Base64Encode_GMime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode_GMime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotedPrintableEncode_GMime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuotedPrintableDecode_GMime)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
