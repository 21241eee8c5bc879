#pragma once

// Style files written inline as bytes, piece by piece, so that each test shows the bytes it reads.

#include "style/ByteTypes.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace korvane::testing {

inline ByteArray B(std::initializer_list<int> values) {
    ByteArray bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

inline ByteArray T(const std::string& text) {
    return ByteArray(text.begin(), text.end());
}

inline ByteArray Cat(std::initializer_list<ByteArray> parts) {
    ByteArray bytes;
    for (const auto& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

inline ByteArray Be32(std::uint32_t value) {
    return B(
        {int(value >> 24), int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF)});
}

// A chunk: its tag, its length and its data.
inline ByteArray Chunk(const std::string& tag, const ByteArray& data) {
    return Cat({T(tag), Be32(std::uint32_t(data.size())), data});
}

inline ByteArray Marker(const std::string& name) {
    return Cat({B({0xFF, 0x06, int(name.size())}), T(name)});
}

inline ByteArray Header(int format = 0, int tracks = 1, int division = 480) {
    return Cat({T("MThd"), Be32(6),
                B({format >> 8, format & 0xFF, tracks >> 8, tracks & 0xFF, division >> 8,
                   division & 0xFF})});
}

inline ByteArray Cseg(const std::string& sdec, const ByteArray& ctabChunks) {
    return Chunk("CSEG", Cat({Chunk("Sdec", T(sdec)), ctabChunks}));
}

// The track of the smallest useful style: time signature, tempo, "SFF1", then "SInt" and
// "Main A" with one note each.
inline ByteArray MinimalTrack(bool withSff1 = true) {
    return Cat({B({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07,
                   0xA1, 0x20, 0x00}),
                withSff1 ? Cat({Marker("SFF1"), B({0x00})}) : ByteArray{}, Marker("SInt"),
                B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}), Marker("Main A"),
                B({0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
}

inline ByteArray MinimalCasm() {
    return Chunk("CASM", Cseg("SInt,Main A", Chunk("Ctab", B({1, 2, 3}))));
}

inline ByteArray MinimalStyle(bool withSff1 = true) {
    return Cat({Header(), Chunk("MTrk", MinimalTrack(withSff1)), MinimalCasm()});
}

// A style of the given track bytes (from the first delta-time to the end of track) and CASM data.
inline ByteArray Style(const ByteArray& track, const ByteArray& casmData) {
    return Cat({Header(), Chunk("MTrk", track), Chunk("CASM", casmData)});
}

} // namespace korvane::testing
