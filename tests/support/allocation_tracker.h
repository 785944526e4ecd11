// Watches the heap while a scope is open: the largest allocation (hostile counts must allocate
// nothing), and how many allocations reach a size (a file must not be copied twice).
#ifndef TESTS_SUPPORT_ALLOCATION_TRACKER_H
#define TESTS_SUPPORT_ALLOCATION_TRACKER_H

#include <cstddef>

namespace testmodels {

class LargestAllocation {
public:
    LargestAllocation();
    ~LargestAllocation();
    LargestAllocation(const LargestAllocation&) = delete;
    LargestAllocation& operator=(const LargestAllocation&) = delete;

    size_t bytes() const;
};

// Counts the allocations of at least `threshold` bytes made while it lives.
class LargeAllocationCount {
public:
    explicit LargeAllocationCount(size_t threshold);
    ~LargeAllocationCount();
    LargeAllocationCount(const LargeAllocationCount&) = delete;
    LargeAllocationCount& operator=(const LargeAllocationCount&) = delete;

    size_t count() const;
};

}  // namespace testmodels

#endif
