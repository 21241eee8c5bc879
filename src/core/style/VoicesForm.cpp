#include "style/VoicesForm.h"

#include "style/StyleWriter.h"

namespace korvane {

SavedVoices VoicesForm::Preview(const VoiceChanges& with) const {
    if (readOnly)
        return VoicesAsSaved(sections);
    const std::vector<ByteArray> changed = ApplyVoiceChanges(sections, with);
    std::vector<WrittenSection> written = sections;
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i].bytes = changed[i];
    return VoicesAsSaved(written);
}

VoicesForm VoicesFormFromDocument(const CStyleDocument& document, const AssignmentSlots& slots) {
    VoicesForm form;
    const CStyleProperties empty;
    const std::vector<const CCsegRecord*>& csegs = document.GetCsegs();
    const StyleWriteInput input{empty, slots, document.GetAssignedSections(), csegs};
    form.sections = WrittenSections(input);
    if (!form.sections.empty()) {
        form.readOnly = false;
        form.changes = document.GetVoiceChanges();
        return form;
    }
    const CStyleSection* shown = document.FindSection("SInt");
    if (!shown && !document.GetSections().empty())
        shown = document.GetSections().front();
    if (shown && shown->GetData())
        form.sections.push_back(
            {0, shown->GetName(), ByteSpan(*shown->GetData()), RoutingOf(shown->GetSegment())});
    return form;
}

} // namespace korvane
