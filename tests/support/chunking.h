// Chunked feeding for the streaming tests: the feed sizes every MIME and codec test runs at,
// helpers that hand a buffer to a callable in pieces of one size or of random sizes, and
// Repeat for the long inputs they are fed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace moxxml_test {

// 0 stands for "the whole buffer in one piece".
inline const std::vector<size_t>& FeedSizes() {
  static const std::vector<size_t> sizes = {0, 1, 2, 3, 7, 64};
  return sizes;
}

inline std::string FeedSizeName(size_t size) {
  return size == 0 ? std::string("whole") : std::to_string(size) + "-byte";
}

// Calls feed(const char* data, size_t length) for consecutive pieces of data of feedSize
// bytes (the last may be shorter; 0 means one piece). An empty buffer is fed once, empty.
template <typename Feed>
void FeedInPieces(const char* data, size_t length, size_t feedSize, Feed&& feed) {
  if (feedSize == 0 || length == 0) {
    feed(data, length);
    return;
  }
  for (size_t offset = 0; offset < length; offset += feedSize) {
    feed(data + offset, length - offset < feedSize ? length - offset : feedSize);
  }
}

template <typename Feed>
void FeedInPieces(const std::string& data, size_t feedSize, Feed&& feed) {
  FeedInPieces(data.data(), data.size(), feedSize, feed);
}

// Pieces of random sizes between 1 and maxSize, reproducible from seed.
template <typename Feed>
void FeedRandomChunks(const std::string& data, unsigned seed, size_t maxSize, Feed&& feed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> pick(1, maxSize);
  for (size_t at = 0; at < data.size();) {
    const size_t size = std::min(pick(random), data.size() - at);
    feed(data.data() + at, size);
    at += size;
  }
}

inline std::string Repeat(const std::string& unit, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += unit;
  return text;
}

}  // namespace moxxml_test
