#include "assignment/SectionPictures.h"

namespace korvane {

const CStyleSection* SectionAtLabel(const CAssignmentTable& table, LabelColumn column, int row) {
    if (row < 0 || row >= kSlotCount)
        return nullptr;
    const CStyleDocument& document = table.GetDocument();
    if (column != LabelColumn::Source)
        return document.FindHolder(std::uint32_t(row));
    const auto& sections = document.GetSections();
    if (std::size_t(row) >= sections.size() || table.GetSourceLabel(row).caption.empty())
        return nullptr;
    return sections[std::size_t(row)];
}

SectionTiming SectionTimingIn(const CStyleDocument& document, const CStyleSection& section) {
    const CStyleProperties* properties = document.IsInSectionList(&section)
                                             ? document.GetSourceProperties()
                                             : document.GetDestinationProperties();
    return TimingOf(properties ? properties : document.GetSourceProperties());
}

} // namespace korvane
