#pragma once

// Which section a label of the window shows, and the measure its picture is counted in.

#include "assignment/AssignmentTable.h"
#include "style/SectionPicture.h"
#include "style/StyleParts.h"

#include <array>
#include <string>

namespace korvane {

enum class LabelColumn { Source, Destination, Assignment };

// The section of source row r (the file opened last), or the section that holds slot r of the
// destination and assignment columns; nullptr for an empty row or a free slot.
const CStyleSection* SectionAtLabel(const CAssignmentTable& table, LabelColumn column, int row);

// A section of the file opened last counts in that file's division and time signature; one of an
// earlier file in the new style's (the destination properties), as it will be written.
SectionTiming SectionTimingIn(const CStyleDocument& document, const CStyleSection& section);

// The voice each part of a section plays: the section's own set-up over that of the "SInt"
// section of the file it was read from, named as the Voices dialog names it ("Fretless Bass");
// empty where neither sets one.
using PartVoiceNames = std::array<std::string, kPartCount>;
PartVoiceNames SectionVoiceNames(const CStyleSection& section);

} // namespace korvane
