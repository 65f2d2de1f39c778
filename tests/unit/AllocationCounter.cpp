#include "tests/unit/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
bool Counting = false;
long AllocationCount = 0;
long FreeCount = 0;
}  // namespace

void* operator new(std::size_t size)
{
    if (Counting) ++AllocationCount;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept
{
    if (p && Counting) ++FreeCount;
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

CAllocationCounter::CAllocationCounter()
{
    AllocationCount = FreeCount = 0;
    Counting = true;
}
CAllocationCounter::~CAllocationCounter() { Counting = false; }
long CAllocationCounter::Allocations() const { return AllocationCount; }
long CAllocationCounter::Frees() const { return FreeCount; }
