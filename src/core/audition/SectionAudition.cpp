#include "audition/SectionAudition.h"

#include "style/MidiTrack.h"

namespace korvane {

ByteArray SetupEvents(const CStyleSection& section) {
    ByteArray out;
    const ByteArray* data = section.GetData();
    if (!data)
        return out;
    CTrackWalker walker(*data);
    TrackEvent event;
    while (walker.Next(event)) {
        const std::uint8_t kind = event.status & 0xF0;
        if (event.IsMetaEvent() || kind == 0x80 || kind == 0x90)
            continue;
        out.push_back(0x00);
        out.push_back(event.status);
        if (event.IsSystemExclusive())
            AppendVariableLength(out, std::uint32_t(event.data.size()));
        out.insert(out.end(), event.data.begin(), event.data.end());
    }
    return out;
}

Outcome BuildSectionStyle(const CStyleDocument& document, const CStyleSection& section,
                          const std::string& target, ByteArray& bytes) {
    CStyleSection played;
    played.SetName(section.GetName());
    played.CreateData();
    const CStyleSection* setup = document.FindSection(kSetupSectionName);
    ByteArray events = setup && setup != &section ? SetupEvents(*setup) : ByteArray();
    if (const ByteArray* data = section.GetData())
        events.insert(events.end(), data->begin(), data->end());
    played.ReserveData(events.size());
    for (std::uint8_t byte : events)
        played.AppendByte(byte);
    played.AddDestination(0);

    const CStyleProperties* properties = document.IsInSectionList(&section)
                                             ? document.GetSourceProperties()
                                             : document.GetDestinationProperties();
    const CStyleProperties none;
    AssignmentSlots slots;
    slots[0] = {true, section.GetName(), section.GetName()};
    const std::vector<CStyleSection*> assigned = {&played};
    const std::vector<const CCsegRecord*> csegs;
    StyleWriteInput input{properties ? *properties : none, slots, assigned, csegs};
    input.voiceChanges = &document.GetVoiceChanges();
    return BuildStyleFile(input, target, bytes);
}

WriteResult WriteSectionStyle(const std::string& path, const CStyleDocument& document,
                              const CStyleSection& section, IMessageBox& messages) {
    ByteArray bytes;
    Outcome outcome = BuildSectionStyle(document, section, path, bytes);
    if (!outcome)
        outcome = WriteStyleBytes(path, bytes);
    if (!outcome)
        return WriteResult::Ok;
    ShowOutcome(messages, outcome);
    return WriteResult::Failed;
}

} // namespace korvane
