#include "style/PropertiesForm.h"

#include "platform/DisplayText.h"

namespace korvane {

namespace {

std::string AtMostTextBytes(const std::string& text) {
    return CutToCharacters(text, kMostTextBytes);
}

bool RefusesTempo(const PropertiesColumn& shown, const PropertiesColumn& typed,
                  IMessageBox& messages) {
    if (typed.tempo.empty() || typed.tempo == shown.tempo ||
        CStyleProperties::IsStorableTempoText(typed.tempo))
        return false;
    messages.Show("A style cannot hold the tempo " + typed.tempo +
                      ".\nTempos from 4 to 60000000 BPM fit. Nothing was changed.",
                  "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
    return true;
}

} // namespace

PropertiesColumn ColumnFromProperties(const CStyleProperties* properties) {
    if (!properties)
        return {};
    return {std::to_string(properties->m_format),
            std::to_string(properties->m_trackCount),
            std::to_string(properties->m_division),
            properties->GetTempoText(),
            properties->GetTimeSignatureText(),
            properties->GetSequenceName(),
            properties->GetCopyright()};
}

PropertiesForm PropertiesFormFromDocument(const CStyleDocument& document) {
    return {ColumnFromProperties(document.GetSourceProperties()),
            ColumnFromProperties(document.GetDestinationProperties())};
}

bool CreatesProperties(const PropertiesColumn& typed) {
    return !typed.copyright.empty() || !typed.sequenceName.empty() || !typed.tempo.empty() ||
           !typed.division.empty();
}

void ApplyPropertiesColumn(CStyleProperties& properties, const PropertiesColumn& shown,
                           const PropertiesColumn& typed) {
    properties.SetDivisionText(typed.division);
    properties.SetCopyright(AtMostTextBytes(typed.copyright));
    properties.SetSequenceName(AtMostTextBytes(typed.sequenceName));
    if (typed.tempo != shown.tempo)
        properties.SetTempoText(typed.tempo);
}

bool ApplyPropertiesForm(CStyleDocument& document, const PropertiesForm& shown,
                         const PropertiesForm& typed, IMessageBox& messages) {
    if (RefusesTempo(shown.source, typed.source, messages) ||
        RefusesTempo(shown.destination, typed.destination, messages))
        return false;
    if (!document.GetSourceProperties() && CreatesProperties(typed.source))
        document.ResetSourceProperties();
    if (CStyleProperties* source = document.GetSourceProperties())
        ApplyPropertiesColumn(*source, shown.source, typed.source);

    if (!document.GetDestinationProperties() && CreatesProperties(typed.destination))
        document.ResetDestinationProperties();
    if (CStyleProperties* destination = document.GetDestinationProperties())
        ApplyPropertiesColumn(*destination, shown.destination, typed.destination);
    return true;
}

} // namespace korvane
