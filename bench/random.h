// NextRandom, RandomBytes: deterministic input for the benchmarks (xorshift64), the same in
// every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

inline uint64_t NextRandom(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

inline std::string RandomBytes(size_t size, uint64_t seed) {
  std::string bytes(size, '\0');
  uint64_t state = seed;
  for (char& c : bytes) c = static_cast<char>(NextRandom(state) >> 56);
  return bytes;
}

}  // namespace bench
