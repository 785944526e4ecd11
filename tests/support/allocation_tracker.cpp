// Replaces the global operator new/delete of the test program to note the largest request and to
// count large ones.
#include "allocation_tracker.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> tracking{false};
std::atomic<size_t> largest{0};
std::atomic<size_t> countThreshold{SIZE_MAX};
std::atomic<size_t> countedAllocations{0};

void* allocate(size_t size) {
    if (tracking.load(std::memory_order_relaxed)) {
        size_t seen = largest.load(std::memory_order_relaxed);
        while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
        }
    }
    if (size >= countThreshold.load(std::memory_order_relaxed)) {
        countedAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace testmodels {

LargestAllocation::LargestAllocation() {
    largest.store(0);
    tracking.store(true);
}

LargestAllocation::~LargestAllocation() { tracking.store(false); }

size_t LargestAllocation::bytes() const { return largest.load(); }

LargeAllocationCount::LargeAllocationCount(size_t threshold) {
    countedAllocations.store(0);
    countThreshold.store(threshold);
}

LargeAllocationCount::~LargeAllocationCount() { countThreshold.store(SIZE_MAX); }

size_t LargeAllocationCount::count() const { return countedAllocations.load(); }

}  // namespace testmodels
