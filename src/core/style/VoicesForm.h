#pragma once

#include "style/AssignmentSlot.h"
#include "style/StyleDocument.h"
#include "style/StyleVoices.h"

#include <vector>

namespace korvane {

// What the Voices dialog shows and edits. With sections assigned, the new style's voices as they
// will be written, the chosen changes included; with nothing assigned, the opened file's "SInt"
// (else its first section), which cannot be changed. The form refers to the document's bytes and
// lives no longer than one dialog.
struct VoicesForm {
    std::vector<WrittenSection> sections;
    VoiceChanges changes; // the changes chosen so far
    bool readOnly = true;

    // The voices as they will be saved with these changes.
    SavedVoices Preview(const VoiceChanges& with) const;
};

VoicesForm VoicesFormFromDocument(const CStyleDocument& document, const AssignmentSlots& slots);

} // namespace korvane
