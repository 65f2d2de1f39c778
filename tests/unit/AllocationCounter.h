#pragma once
// Counts the heap allocations made through operator new while a CAllocationCounter lives.
#include <cstddef>

class CAllocationCounter {
public:
    CAllocationCounter();
    ~CAllocationCounter();
    long Allocations() const;
    long Frees() const;
    long Live() const { return Allocations() - Frees(); }
};
