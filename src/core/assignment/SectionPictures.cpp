#include "assignment/SectionPictures.h"

#include "style/StyleVoices.h"

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

PartVoiceNames SectionVoiceNames(const CStyleSection& section) {
    const ByteArray* data = section.GetData();
    const StyleSetup own = ReadSectionSetup(data ? ByteSpan(*data) : ByteSpan()).parts;
    // The "SInt" of the section's own file, which may be one opened before the current one.
    const FileSetup* fileSetup = section.GetFileSetup();
    const StyleSetup first = fileSetup ? fileSetup->parts : StyleSetup{};
    PartVoiceNames names;
    for (std::size_t part = 0; part < kPartCount; ++part) {
        PartSetup sounding = first[part];
        for (std::size_t setting = 0; setting < kVoiceSettingCount; ++setting) {
            if (own[part][setting])
                sounding[setting] = own[part][setting];
        }
        names[part] = VoiceName(sounding);
    }
    return names;
}

} // namespace korvane
