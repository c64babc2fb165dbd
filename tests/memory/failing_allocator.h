// FailAllocation, AllocationsCounted, FailureHit, LiveAllocations: control of the replaced
// global operator new of the allocation-failure suite.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace moxxml_test {

// From now on, the nth allocation through any form of operator new fails once (1 = the next):
// the throwing forms throw std::bad_alloc, the nothrow forms return null. 0 disarms and
// keeps the count and FailureHit of the last arming.
void FailAllocation(std::size_t nth);
// Allocations counted since the last arming.
std::size_t AllocationsCounted();
// Whether the failure armed last has happened.
bool FailureHit();
// Blocks from operator new not yet given back.
std::size_t LiveAllocations();
// The functions on the call stack of the allocation that failed last, innermost first, as far
// as the dynamic symbol tables name them ("?" for the others).
std::vector<std::string> FailedAllocationStack();

}  // namespace moxxml_test
