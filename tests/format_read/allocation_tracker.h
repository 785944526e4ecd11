// Records the largest single heap allocation made through operator new while a scope is open, so
// tests can show that hostile counts are refused before anything is allocated for them.
#ifndef TESTS_FORMAT_READ_ALLOCATION_TRACKER_H
#define TESTS_FORMAT_READ_ALLOCATION_TRACKER_H

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

}  // namespace testmodels

#endif
