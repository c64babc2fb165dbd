// Fuzz target: the four transfer-encoding codecs. The first byte picks base64 or
// quoted-printable; then chunk sizes follow (see FuzzChunks) and the rest is the data.
// Decoding arbitrary data must give the same bytes at every chunking and never more bytes
// than it was given; encoding must give short lines of printable ASCII, and decoding that
// must give the data back, at every chunking of either side.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "fuzz_support.h"

using moxxml_fuzz::FuzzChunks;

namespace {

int Append(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return MOXSTREAM_OK;
}

std::string Run(MoxStreamProcess& process, const std::string& input, const FuzzChunks& chunks) {
  std::string out;
  process.SetOutput(Append, &out);
  FUZZ_CHECK(process.Init() == MOXSTREAM_OK);
  chunks.Feed(input.data(), input.size(), [&](const char* piece, size_t length) {
    FUZZ_CHECK(process.Update(piece, static_cast<int>(length)) == MOXSTREAM_OK);
  });
  FUZZ_CHECK(process.Final() == MOXSTREAM_OK);
  return out;
}

// Lines of printable ASCII (and, for quoted-printable, tabs) ended by CRLF, none longer
// than 76 characters.
void CheckEncodedLines(const std::string& encoded, bool tabs) {
  size_t column = 0;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(encoded[i]);
    if (c == '\r') {
      FUZZ_CHECK(i + 1 < encoded.size() && encoded[i + 1] == '\n');
      ++i;
      column = 0;
      continue;
    }
    FUZZ_CHECK((c >= 0x20 && c < 0x7f) || (tabs && c == '\t'));
    FUZZ_CHECK(++column <= 76);
  }
}

FuzzChunks Sizes(std::vector<size_t> sizes) {
  const uint8_t* none = nullptr;
  size_t zero = 0;
  FuzzChunks chunks(none, zero);
  chunks.sizes = std::move(sizes);
  return chunks;
}

template <typename Encoder, typename Decoder>
void Check(const std::string& input, const FuzzChunks& fromInput) {
  std::vector<FuzzChunks> chunkings = {Sizes({}),  Sizes({1}),  Sizes({2}), Sizes({3}),
                                       Sizes({7}), Sizes({64}), fromInput};
  Decoder decoder;
  const std::string decoded = Run(decoder, input, chunkings[0]);
  FUZZ_CHECK(decoded.size() <= input.size());
  Encoder encoder;
  const std::string encoded = Run(encoder, input, chunkings[0]);
  CheckEncodedLines(encoded, encoder.GetFilterType() == MOXSTREAM_TYPE_QUOTED_PRINTABLE);
  for (const FuzzChunks& chunks : chunkings) {
    FUZZ_CHECK(Run(decoder, input, chunks) == decoded);
    FUZZ_CHECK(Run(encoder, input, chunks) == encoded);
    FUZZ_CHECK(Run(decoder, encoded, chunks) == input);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool base64 = (data[0] & 1) != 0;
  ++data;
  --size;
  const FuzzChunks chunks(data, size);
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (base64) {
    Check<MoxFilterBase64, MoxUnfilterBase64>(input, chunks);
  } else {
    Check<MoxFilterQuotedPrintable, MoxUnfilterQuotedPrintable>(input, chunks);
  }
  return 0;
}
