// StdioLock: holds a stdio stream for one call, so that what the call writes stays together.
#pragma once

#include <cstdio>

namespace moxxml_internal {

// While held, other threads' writes to the stream wait; the holder's own writes (the
// serializer's pieces, a host callback writing to the same stream) go through, since the
// stream's lock is recursive. A null stream holds nothing.
class StdioLock {
 public:
  explicit StdioLock(std::FILE* stream) : stream(stream) {
    if (stream != nullptr) flockfile(stream);
  }
  ~StdioLock() { Release(); }
  StdioLock(const StdioLock&) = delete;
  StdioLock& operator=(const StdioLock&) = delete;

  void Release() {
    if (stream != nullptr) funlockfile(stream);
    stream = nullptr;
  }

 private:
  std::FILE* stream;
};

}  // namespace moxxml_internal
