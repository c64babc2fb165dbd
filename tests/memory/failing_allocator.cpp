// The global operator new and delete in all their forms, over malloc and free, with one
// allocation that can be made to fail. Everything in the process allocates through them: the
// suite, the library, libstdc++'s containers and Xerces' memory manager.
#include "memory/failing_allocator.h"

#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <new>
#include <string>
#include <vector>

namespace moxxml_test {

namespace {

// One thread allocates while a failure is armed; no locking is needed.
std::size_t counted = 0;
std::size_t failAt = 0;
bool hit = false;
std::size_t live = 0;
// The call stack of the allocation that failed.
void* failedStack[64];
int failedDepth = 0;

// Null when this allocation is the one to fail.
void* Allocate(std::size_t size, std::size_t alignment) {
  ++counted;
  if (failAt != 0 && counted == failAt) {
    hit = true;
    failedDepth = backtrace(failedStack, 64);
    return nullptr;
  }
  if (size == 0) size = 1;
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(size);
  } else if (posix_memalign(&block, alignment, size) != 0) {
    block = nullptr;
  }
  if (block != nullptr) ++live;
  return block;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  void* block = Allocate(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  --live;
  std::free(block);
}

}  // namespace

void FailAllocation(std::size_t nth) {
  failAt = nth;
  if (nth == 0) return;
  counted = 0;
  hit = false;
}

std::size_t AllocationsCounted() { return counted; }

bool FailureHit() { return hit; }

std::size_t LiveAllocations() { return live; }

std::vector<std::string> FailedAllocationStack() {
  std::vector<std::string> functions;
  for (int i = 0; i < failedDepth; ++i) {
    Dl_info info{};
    if (dladdr(failedStack[i], &info) == 0 || info.dli_sname == nullptr) {
      functions.emplace_back("?");
      continue;
    }
    int status = 0;
    char* name = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
    functions.emplace_back(status == 0 && name != nullptr ? name : info.dli_sname);
    std::free(name);
  }
  return functions;
}

}  // namespace moxxml_test

using moxxml_test::AllocateOrThrow;
using moxxml_test::Release;

void* operator new(std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return moxxml_test::Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return moxxml_test::Allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return moxxml_test::Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return moxxml_test::Allocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(block);
}
