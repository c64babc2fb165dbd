// FeedSizes, FeedInChunks, FeedRandomChunks: feed a buffer to a callable in pieces, so that
// streaming code is tested at every split.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace moxxml_test {

// 0 stands for "whole buffer in one call".
inline const std::vector<std::size_t>& FeedSizes() {
  static const std::vector<std::size_t> sizes{0, 1, 2, 3, 7, 64};
  return sizes;
}

// Calls feed(const char*, std::size_t) with consecutive pieces of `size` bytes (the whole
// buffer when size is 0).
template <typename Feed>
void FeedInChunks(const std::string& data, std::size_t size, Feed&& feed) {
  if (size == 0 || size >= data.size()) {
    feed(data.data(), data.size());
    return;
  }
  for (std::size_t at = 0; at < data.size(); at += size) {
    feed(data.data() + at, std::min(size, data.size() - at));
  }
}

// Pieces of random sizes between 1 and maxSize, reproducible from seed.
template <typename Feed>
void FeedRandomChunks(const std::string& data, unsigned seed, std::size_t maxSize, Feed&& feed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(1, maxSize);
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t size = std::min(pick(random), data.size() - at);
    feed(data.data() + at, size);
    at += size;
  }
}

}  // namespace moxxml_test
