#pragma once

#include "platform/MessageBox.h"
#include "style/StyleDocument.h"
#include "style/StyleWriter.h"

#include <string>

namespace korvane {

// The name of the section whose events set the voices up before the others play.
constexpr const char* kSetupSectionName = "SInt";

// The setup events of a section: every channel message but notes, and every system-exclusive
// message, each at delta-time 0 and with its own status byte. Notes and meta events are left out.
ByteArray SetupEvents(const CStyleSection& section);

// Writes the style that plays one section alone: the header events, the setup events of the
// "SInt" section of the same file, then the section under its own name, as WriteStyleFile writes
// a style. A section of the file opened last is written with that file's properties, one of an
// earlier file with the new style's.
WriteResult WriteSectionStyle(const std::string& path, const CStyleDocument& document,
                              const CStyleSection& section, IMessageBox& messages);

} // namespace korvane
