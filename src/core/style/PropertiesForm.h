#pragma once

#include "platform/MessageBox.h"
#include "style/StyleDocument.h"
#include "style/StyleProperties.h"

#include <string>

namespace korvane {

// The seven boxes of one column of the Properties dialog, as texts.
struct PropertiesColumn {
    std::string format;
    std::string trackCount;
    std::string division;
    std::string tempo;
    std::string timeSignature;
    std::string sequenceName;
    std::string copyright;
    bool operator==(const PropertiesColumn&) const = default;
};

// Both columns of the dialog: what it showed and, after OK, what the boxes hold.
struct PropertiesForm {
    PropertiesColumn source;
    PropertiesColumn destination;
};

// The most bytes a text meta-event can hold: its length is one byte.
inline constexpr std::size_t kMostTextBytes = 255;

// A column filled from properties; all empty when there are none.
PropertiesColumn ColumnFromProperties(const CStyleProperties* properties);

// The dialog's texts for the document's source and destination properties.
PropertiesForm PropertiesFormFromDocument(const CStyleDocument& document);

// Whether OK on a column without properties creates them: the division, tempo, sequence name or
// copyright box holds text. The other boxes are never read back.
bool CreatesProperties(const PropertiesColumn& typed);

// OK on one column with properties: the division, copyright, sequence name and tempo are applied
// in that order. The tempo is applied only when its box differs from what the dialog showed, so
// that confirming never drifts the tempo; format, track count and time signature are shown only.
// Sequence name and copyright keep at most 255 bytes, cut between characters.
void ApplyPropertiesColumn(CStyleProperties& properties, const PropertiesColumn& shown,
                           const PropertiesColumn& typed);

// OK on the dialog: both columns, the source first; missing properties are created, empty, as
// CreatesProperties says. A changed tempo box that the tempo event cannot hold, or an edited
// sequence name or copyright that its original's encoding (Latin-1 where the original was not
// UTF-8) cannot hold, is refused through messages and nothing is applied; returns whether the
// form was applied.
bool ApplyPropertiesForm(CStyleDocument& document, const PropertiesForm& shown,
                         const PropertiesForm& typed, IMessageBox& messages);

} // namespace korvane
