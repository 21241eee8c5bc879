#pragma once

// The system calls under the bounded reader (RegularFile.cpp), one implementation per system in
// posix/ and windows/. Descriptors are the C runtime's.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace korvane::system {

// Makes the call again while a signal interrupts it (-1 with EINTR); returns what it returned
// otherwise, errno left as the call set it.
template <class Call> auto Uninterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

// Opens path for reading when it is a regular file, without waiting on a FIFO that has no
// writer. Returns the descriptor and the size the file has now, or -1 with errorCode: EISDIR for
// a folder, ENXIO for anything else that is no regular file, the open's own code otherwise.
int OpenRegularFile(const std::string& path, int& errorCode, std::uint64_t& size);

// Reads up to count bytes; 0 at the end, -1 with errno on failure (EINTR retried here).
long ReadDescriptor(int descriptor, void* into, std::size_t count);

void CloseDescriptor(int descriptor);

// Writes every byte (EINTR retried); false with errno on failure, EIO when nothing goes.
bool WriteAll(int descriptor, const std::vector<std::uint8_t>& bytes);

// A binary stream over the descriptor, which it then owns; nullptr with errno on failure.
std::FILE* StreamOfDescriptor(int descriptor);

} // namespace korvane::system
