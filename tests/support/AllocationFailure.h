#pragma once

// Makes every allocation of more than a given size fail with std::bad_alloc while a guard lives,
// so that a test meets "out of memory" at once and the same way on every machine. Linking this
// file replaces the global operator new and delete of the test program.

#include <cstddef>

namespace korvane::testing {

class CFailLargeAllocations {
public:
    explicit CFailLargeAllocations(std::size_t largestAllowed);
    ~CFailLargeAllocations();
    CFailLargeAllocations(const CFailLargeAllocations&) = delete;
    CFailLargeAllocations& operator=(const CFailLargeAllocations&) = delete;
};

} // namespace korvane::testing
