// FilterRun helpers: push input through one process in a MoxFilterContainer, as the payload
// does, in pieces of a chosen size, and collect what reaches the write callback.
#pragma once

#include <cstddef>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include <moxxml/moxxml.h>

#include "support/chunking.h"

namespace moxxml_test {

inline int AppendToString(const char* data, int length, unsigned char* /*third*/, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}

// Runs input through process in pieces of feedSize bytes (0: whole); every call must succeed.
inline std::string RunFilter(MoxStreamProcess& process, const std::string& input, size_t feedSize) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  EXPECT_EQ(container.Init(), MOXSTREAM_OK);
  container.AddProcess(&process);
  FeedInPieces(input, feedSize, [&](const char* data, size_t length) {
    EXPECT_EQ(container.Update(data, static_cast<int>(length)), MOXSTREAM_OK);
  });
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  return output;
}

// The same with piece sizes drawn from 1..maxPiece by random.
inline std::string RunFilterRandomPieces(MoxStreamProcess& process, const std::string& input,
                                         std::mt19937& random, size_t maxPiece) {
  std::string output;
  MoxFilterContainer container;
  container.writeCallback = &AppendToString;
  container.writeContext = &output;
  container.AddProcess(&process);
  std::uniform_int_distribution<size_t> piece(1, maxPiece);
  for (size_t offset = 0; offset < input.size();) {
    size_t length = piece(random);
    if (length > input.size() - offset) length = input.size() - offset;
    EXPECT_EQ(container.Update(input.data() + offset, static_cast<int>(length)), MOXSTREAM_OK);
    offset += length;
  }
  EXPECT_EQ(container.Final(), MOXSTREAM_OK);
  return output;
}

// Runs input at every feed size and expects expected each time.
template <typename Process>
void ExpectAtEveryFeedSize(const std::string& input, const std::string& expected) {
  for (size_t feedSize : FeedSizes()) {
    SCOPED_TRACE(FeedSizeName(feedSize));
    Process process;
    EXPECT_EQ(RunFilter(process, input, feedSize), expected);
  }
}

// Every byte value once, 0 to 255.
inline std::string AllBytes() {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
  return bytes;
}

// Block-size sweep: the output at each Update size 1..254 must equal the one-shot output.
template <typename Process>
void ExpectSweepMatchesOneShot(const std::string& input) {
  Process reference;
  const std::string expected = RunFilter(reference, input, 0);
  for (size_t size = 1; size <= 254; ++size) {
    Process process;
    ASSERT_EQ(RunFilter(process, input, size), expected) << "Update size " << size;
  }
}

}  // namespace moxxml_test
