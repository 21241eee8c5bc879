#include "support/AllocationFailure.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

std::atomic<std::size_t> g_largestAllowed{std::numeric_limits<std::size_t>::max()};

} // namespace

void* operator new(std::size_t size) {
    if (size > g_largestAllowed.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// Every form that allocates or releases through malloc and free is replaced together, so that
// no block is released by a form other than the one that made it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size) {
    return ::operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
    return ::operator new(size, nothrow);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace korvane::testing {

CFailLargeAllocations::CFailLargeAllocations(std::size_t largestAllowed) {
    g_largestAllowed = largestAllowed;
}

CFailLargeAllocations::~CFailLargeAllocations() {
    g_largestAllowed = std::numeric_limits<std::size_t>::max();
}

} // namespace korvane::testing
