#include "style/PropertiesForm.h"

#include "platform/DisplayText.h"

#include <tuple>

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

// The sequence name and copyright of a column in their originals' encodings; false, after the
// message, when an edited one has characters that its original's encoding lacks.
bool KeepsEncoding(const PropertiesColumn& shown, PropertiesColumn& typed, IMessageBox& messages) {
    for (auto [original, edited, what] :
         {std::tuple{&shown.sequenceName, &typed.sequenceName, "sequence name"},
          std::tuple{&shown.copyright, &typed.copyright, "copyright"}}) {
        if (const auto bytes = BytesLikeOriginal(*original, *edited)) {
            *edited = *bytes;
            continue;
        }
        messages.Show(std::string("The ") + what + " \"" + *edited +
                          "\" has characters that its original's encoding, Latin-1, lacks.\n"
                          "Use Latin-1 characters only. Nothing was changed.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
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
                         const PropertiesForm& edited, IMessageBox& messages) {
    if (RefusesTempo(shown.source, edited.source, messages) ||
        RefusesTempo(shown.destination, edited.destination, messages))
        return false;
    PropertiesForm typed = edited;
    if (!KeepsEncoding(shown.source, typed.source, messages) ||
        !KeepsEncoding(shown.destination, typed.destination, messages))
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
