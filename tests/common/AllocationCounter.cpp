// The global operator new replaced by one that counts: a test compares the
// count before and after the work that must not allocate.
#include "tests/common/AllocationCounter.h"

// The replacement pair below is matched; the compiler cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

long AllocationCount() {
  return allocations.load();
}

void* operator new(size_t n) {
  ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
