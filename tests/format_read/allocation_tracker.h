// Notes the largest heap allocation made while a scope is open (hostile counts must allocate nothing).
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
