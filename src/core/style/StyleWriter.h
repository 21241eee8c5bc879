#pragma once

#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "style/AssignmentSlot.h"
#include "style/StyleDocument.h"

#include <string>
#include <vector>

namespace korvane {

// What the writer needs, as plain data: the window, audition and korvane-cli fill it alike.
struct StyleWriteInput {
    const CStyleProperties& properties;                  // the destination properties
    const AssignmentSlots& slots;                        // the 16 slots in layout order
    const std::vector<CStyleSection*>& assignedSections; // one entry per assignment
    const std::vector<const CCsegRecord*>& csegs;        // the document's CSEG list, in order
    // Pulses per quarter note of the written file; 0 keeps the properties' division. Every
    // delta-time is rescaled to it (see ChangeResolution).
    std::uint16_t resolution = 0;
};

// The section that a slot is written from: the assigned section whose destination list holds the
// slot; for a slot no section holds, the first assigned section of the slot's source name.
const CStyleSection* FindSlotSection(const StyleWriteInput& input, int slot);

// The section total S: 3 + destination name + event bytes for every slot that will be written.
std::size_t SectionTotal(const StyleWriteInput& input);

// The complete style file, MThd, MTrk and CASM chunks, as the writer emits it.
ByteArray BuildStyleBytes(const StyleWriteInput& input);

// What a write ended with; the numbers are the writer's status codes. AlreadyExists comes only
// from a write that was asked to keep an existing file: nothing was written and nothing said, so
// that the caller can name its own way out (korvane-cli's --force).
enum class WriteResult { Ok = 0, Failed = -1, AlreadyExists = -2 };

// What the write may do with an existing file of that name.
enum class ExistingFile { Replace, Keep };

struct StyleWriteOptions {
    ExistingFile existing = ExistingFile::Replace;
    // The bytes go to standard output (korvane-cli's "-o -"); no file is written.
    bool toStandardOutput = false;
    // Other than 0: WriteStyleDocument rescales the style to that many pulses per quarter note.
    std::uint16_t resolution = 0;
    // Not null: the file is added to this group and takes its name when the group commits.
    CCommitGroup* group = nullptr;
};

// The message by which a write to path that ended in failure is reported (not for Exists, which
// the caller names).
std::string WriteFailureText(const std::string& path, const WriteFailure& failure);

// Writes the style file: Ok when written, Failed after telling the user why. Nothing is written
// when no slot has a section (message 57630), or when the resolution cannot be changed. The bytes
// go to a temporary file in the target folder, which replaces the target only when it is complete;
// a failed write leaves the target as it was. A link is written through; a folder, device or FIFO,
// a file the user may not write and a link that leads nowhere are refused with "Cannot open file"
// and the system's code.
WriteResult WriteStyleFile(const std::string& path, const StyleWriteInput& input,
                           IMessageBox& messages, const StyleWriteOptions& options = {});

// Writes the document's work: makes the destination properties when they are missing (a copy of
// the source properties, which are then released) and calls WriteStyleFile.
WriteResult WriteStyleDocument(const std::string& path, CStyleDocument& document,
                               const AssignmentSlots& slots, IMessageBox& messages,
                               const StyleWriteOptions& options = {});

} // namespace korvane
