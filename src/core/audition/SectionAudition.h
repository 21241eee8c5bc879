#pragma once

#include "platform/MessageBox.h"
#include "style/StyleDocument.h"
#include "style/StyleParts.h"
#include "style/StyleWriter.h"

#include <string>

namespace korvane {

// The setup events of a section: every channel message but notes, and every system-exclusive
// message, each at delta-time 0 and with its own status byte. Notes and meta events are left out.
ByteArray SetupEvents(const CStyleSection& section);

// The bytes of the style that plays one section alone: the header events, the setup events of
// the "SInt" section of the same file, then the section under its own name, with the document's
// voice changes, as the writer builds a style. A section of the file opened last is written with
// that file's properties, one of an earlier file with the new style's. target names the file in
// the outcome.
Outcome BuildSectionStyle(const CStyleDocument& document, const CStyleSection& section,
                          const std::string& target, ByteArray& bytes);

// Builds that style and writes it to path: Ok when written, Failed after telling the user why.
WriteResult WriteSectionStyle(const std::string& path, const CStyleDocument& document,
                              const CStyleSection& section, IMessageBox& messages);

} // namespace korvane
