#pragma once

#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "style/AssignmentSlot.h"
#include "style/Outcome.h"
#include "style/StyleDocument.h"
#include "style/StyleVoices.h"

#include <array>
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
    // Voices and mixer values written into the sections' set-up events; none writes the
    // sections as they are.
    const VoiceChanges* voiceChanges = nullptr;
};

// The section that a slot is written from: the assigned section whose destination list holds the
// slot; for a slot no section holds, the first assigned section of the slot's source name.
const CStyleSection* FindSlotSection(const StyleWriteInput& input, int slot);

// Every slot's section (nullptr for a slot not written), found once for a whole build.
using SlotSections = std::array<const CStyleSection*, kSlotCount>;
SlotSections FindSlotSections(const StyleWriteInput& input);

// The sections as they will be written, in slot order, with their own bytes (the voice changes
// not yet applied).
std::vector<WrittenSection> WrittenSections(const StyleWriteInput& input);

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

// The new style file's bytes for input, rescaled when it asks for a resolution; nothing is shown
// or written. path names the target in the outcome. Fails with NothingAssigned when no slot has
// a section, OutOfMemoryWriting, or ResolutionUnchangeable.
Outcome BuildStyleFile(const StyleWriteInput& input, const std::string& path, ByteArray& bytes);

// Writes the bytes to path through a temporary file in the target folder (or to standard
// output), nothing shown. Fails with Exists (only under ExistingFile::Keep), CannotCreate,
// WriteFailed or StandardOutputFailed, each with the system's code, or with the refusal of
// OutputNameOutcome.
Outcome WriteStyleBytes(const std::string& path, const ByteArray& bytes,
                        const StyleWriteOptions& options = {});

// A name the system would take for another file (a device on Windows, or a name Windows would
// write without its dots or blanks at the end): ReservedDeviceName or NameEndsInDotOrBlank,
// nothing for any other name. Checked before anything else is looked at.
Outcome OutputNameOutcome(const std::string& path);

// The writer's input for a document's work: the destination properties (the source ones while
// there are none), the slots, the assigned sections and the CSEG records, copied into csegs.
StyleWriteInput DocumentWriteInput(const CStyleDocument& document, const AssignmentSlots& slots,
                                   std::vector<const CCsegRecord*>& csegs,
                                   std::uint16_t resolution);

} // namespace korvane
