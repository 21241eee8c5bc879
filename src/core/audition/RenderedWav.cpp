#include "audition/RenderedWav.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <cmath>
#include <cstdint>
#include <system_error>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kFrameBytes = 4;
// An hour of music and the release after it.
constexpr std::size_t kMostWavBytes = kHeaderBytes + std::size_t(3602 * 44100) * kFrameBytes;

std::uint32_t LittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

bool Tagged(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* tag) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (bytes[at + i] != std::uint8_t(tag[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> KeepRenderedWav(const std::string& from, const std::string& to,
                                           double renderedSeconds) {
    std::vector<std::uint8_t> wav;
    const FileRead read = ReadRegularFile(from, kMostWavBytes, wav);
    if (read) {
        const int code = read.outcome == FileReadOutcome::TooLarge ? EFBIG : read.errorCode;
        return "cannot read " + from + ": " + std::generic_category().message(code);
    }
    const std::size_t dataBytes =
        std::size_t(std::llround(renderedSeconds * 44100.0)) * kFrameBytes;
    if (wav.size() != kHeaderBytes + dataBytes || !Tagged(wav, 0, "RIFF") ||
        !Tagged(wav, 8, "WAVE") || !Tagged(wav, 36, "data") ||
        LittleEndian(wav, 4) != 36 + dataBytes || LittleEndian(wav, 40) != dataBytes)
        return "the render " + from + " is incomplete";
    if (const WriteFailure failure = WriteFileAtomically(to, wav))
        return "cannot write " + to + ": " + std::generic_category().message(failure.errorCode);
    return std::nullopt;
}

} // namespace korvane
