#pragma once

// Crafted styles that once made reading slower than linear in the file's size. The benchmark reads
// them next to generated styles; the tests check what the reader makes of them.

#include "support/StyleBytes.h"

#include <cstdio>
#include <string>

namespace korvane::testing {

// The events of one short section: one note and the delta-time before the next marker.
inline ByteArray OneNote() {
    return B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00});
}

// A numbered section name of fixed width, "S000042".
inline std::string NumberedName(std::size_t i) {
    char name[24];
    std::snprintf(name, sizeof name, "S%06zu", i);
    return name;
}

// A style with sections named by names, each with one note, and the given CASM data.
inline ByteArray StyleOfSections(std::size_t count, const ByteArray& casmData,
                                 const std::string& format = "SFF1") {
    ByteArray track = Cat({B({0x00}), Marker(format), B({0x00})});
    for (std::size_t i = 0; i < count; ++i) {
        const ByteArray section = Cat({Marker(NumberedName(i)), OneNote()});
        track.insert(track.end(), section.begin(), section.end());
    }
    const ByteArray end = B({0xFF, 0x2F, 0x00});
    track.insert(track.end(), end.begin(), end.end());
    return Style(track, casmData);
}

// One section "a" and one CSEG whose Sdec text is "a,a,a,…", textBytes long.
inline ByteArray LongSdecStyle(std::size_t textBytes) {
    std::string sdec;
    sdec.reserve(textBytes);
    while (sdec.size() + 2 <= textBytes)
        sdec += "a,";
    sdec += 'a';
    const ByteArray track = Cat({B({0x00}), Marker("a"), OneNote(), B({0xFF, 0x2F, 0x00})});
    return Style(track, Cseg(sdec, Chunk("Ctab", B({1, 2, 3}))));
}

// count sections, all named in the Sdec text of one CSEG.
inline ByteArray ManyNamedSectionsStyle(std::size_t count) {
    std::string sdec;
    for (std::size_t i = 0; i < count; ++i)
        sdec += (i ? "," : "") + NumberedName(i);
    return StyleOfSections(count, Cseg(sdec, Chunk("Ctab", B({1, 2, 3}))));
}

// count sections and count CSEGs, CSEG i naming section i.
inline ByteArray ManyCsegsStyle(std::size_t count) {
    ByteArray casm;
    for (std::size_t i = 0; i < count; ++i) {
        const ByteArray cseg = Cseg(NumberedName(i), Chunk("Ctab", B({int(i & 0x7F), 2, 3})));
        casm.insert(casm.end(), cseg.begin(), cseg.end());
    }
    return StyleOfSections(count, casm);
}

// An SFF2 style of count sections and count CSEGs, CSEG i naming section i with one Ctb2 record
// of channel 11 whose active low zone is dropped: one note per CSEG in the conversion report.
inline ByteArray ManySff2CsegsStyle(std::size_t count) {
    ByteArray ctb2 = Cat({T("Chord1  "), B({0x00, 0x0A}), ByteArray(10, 0x00), B({0x10, 0x7F})});
    ctb2.resize(47, 0x00);
    ByteArray casm;
    for (std::size_t i = 0; i < count; ++i) {
        const ByteArray cseg = Cseg(NumberedName(i), Chunk("Ctb2", ctb2));
        casm.insert(casm.end(), cseg.begin(), cseg.end());
    }
    return StyleOfSections(count, casm, "SFF2");
}

} // namespace korvane::testing
