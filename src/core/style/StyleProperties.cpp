#include "style/StyleProperties.h"

#include "platform/LeadingInteger.h"

#include <cstdio>

namespace korvane {

void CStyleProperties::AppendSysex(const ByteArray& bytes) {
    if (!m_pSysex)
        m_pSysex.emplace();
    m_pSysex->insert(m_pSysex->end(), bytes.begin(), bytes.end());
}

std::string CStyleProperties::GetTimeSignatureText() const {
    if (!m_pTimeSignature)
        return {};
    // FF 58 len nn dd cc bb: a short event shows 0 for what it lacks.
    const ByteArray& event = *m_pTimeSignature;
    auto dataByte = [&](std::size_t i) -> unsigned { return i < event.size() ? event[i] : 0; };
    const unsigned exponent = dataByte(4);
    const unsigned denominator = exponent < 32 ? 1u << exponent : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%u/%u %u clocks PQN", dataByte(3), denominator, dataByte(5));
    return text;
}

bool CStyleProperties::HoldsTempoValue() const {
    // FF 51 len t1 t2 t3: the three data bytes count only when the length byte says the event
    // holds them; otherwise the bytes after it belong to what follows.
    return m_pTempo && m_pTempo->size() >= 6 && (*m_pTempo)[2] >= 3;
}

std::string CStyleProperties::GetTempoText() const {
    if (!HoldsTempoValue())
        return {};
    const ByteArray& event = *m_pTempo;
    const unsigned long micros =
        (static_cast<unsigned long>(event[3]) << 16) | (event[4] << 8) | event[5];
    // Rounded to the nearest whole beat, so that SetTempoText gives back the same tempo bytes for
    // any tempo the program itself computed (120 from 500,000).
    unsigned long bpm = micros == 0 ? 65535 : (60'000'000UL + micros / 2) / micros;
    if (bpm > 65535)
        bpm = 65535;
    return std::to_string(bpm);
}

bool CStyleProperties::IsStorableTempoText(const std::string& text) {
    // 15,000,000 microseconds per quarter to 1.
    constexpr long long kSlowest = 4;
    constexpr long long kFastest = 60'000'000;
    const long long bpm = LeadingInteger(text);
    return bpm >= kSlowest && bpm <= kFastest;
}

void CStyleProperties::SetTempoText(const std::string& text) {
    if (text.empty() || !HoldsTempoValue() || !IsStorableTempoText(text))
        return;
    const auto micros = static_cast<unsigned long>(60'000'000LL / LeadingInteger(text));
    (*m_pTempo)[3] = static_cast<std::uint8_t>(micros >> 16);
    (*m_pTempo)[4] = static_cast<std::uint8_t>(micros >> 8);
    (*m_pTempo)[5] = static_cast<std::uint8_t>(micros);
}

void CStyleProperties::SetDivisionText(const std::string& text) {
    m_division = text.empty() ? 0 : static_cast<std::uint16_t>(LeadingInteger(text) & 0xFFFF);
}

} // namespace korvane
