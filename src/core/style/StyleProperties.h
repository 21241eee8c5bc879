#pragma once

#include "style/ByteTypes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

// The global values of one style: the header chunk's numbers and the header events that stand
// before the first section. Stored events are kept whole, as they stood in the file.
class CStyleProperties {
public:
    CStyleProperties() = default;
    CStyleProperties(const CStyleProperties&) = default;
    CStyleProperties& operator=(const CStyleProperties&) = default;
    bool operator==(const CStyleProperties&) const = default;

    std::uint16_t m_format = 0;
    std::uint16_t m_trackCount = 0;
    std::uint16_t m_division = 0;
    std::uint8_t m_channelPrefix = 0;
    std::uint8_t m_port = 0;

    std::string GetCopyright() const { return m_copyright; }
    std::string GetSequenceName() const { return m_sequenceName; }
    std::string GetInstrumentName() const { return m_instrumentName; }
    std::string GetLyric() const { return m_lyric; }
    std::string GetCuePoint() const { return m_cuePoint; }
    void SetCopyright(const std::string& text) { m_copyright = text; }
    void SetSequenceName(const std::string& text) { m_sequenceName = text; }
    void SetInstrumentName(const std::string& text) { m_instrumentName = text; }
    void SetLyric(const std::string& text) { m_lyric = text; }
    void SetCuePoint(const std::string& text) { m_cuePoint = text; }

    // The stored event, or nullptr when the file had none; the caller does not own it.
    const ByteArray* GetTempo() const { return Present(m_pTempo); }
    const ByteArray* GetSmpteOffset() const { return Present(m_pSmpteOffset); }
    const ByteArray* GetTimeSignature() const { return Present(m_pTimeSignature); }
    const ByteArray* GetKeySignature() const { return Present(m_pKeySignature); }
    const ByteArray* GetSysex() const { return Present(m_pSysex); }
    void SetTempo(const ByteArray& bytes) { m_pTempo = bytes; }
    void SetSmpteOffset(const ByteArray& bytes) { m_pSmpteOffset = bytes; }
    void SetTimeSignature(const ByteArray& bytes) { m_pTimeSignature = bytes; }
    void SetKeySignature(const ByteArray& bytes) { m_pKeySignature = bytes; }
    void AppendSysex(const ByteArray& bytes);

    // Display forms: "4/4 24 clocks PQN" and whole beats per minute; empty without the event
    // (and, for the tempo, when its event holds fewer than three data bytes).
    std::string GetTimeSignatureText() const;
    std::string GetTempoText() const;
    // Sets the tempo's three data bytes to 60,000,000 / bpm; nothing for an empty text, a tempo
    // the event cannot hold (see IsStorableTempoText), or properties without a whole tempo event.
    void SetTempoText(const std::string& text);
    // Whether the leading number of a text is a tempo the event's 24-bit microseconds per quarter
    // note can hold: from 4 beats per minute (15,000,000; 3 would need 20,000,000, past
    // 16,777,215) to 60,000,000 (1 microsecond).
    static bool IsStorableTempoText(const std::string& text);
    // The division from a decimal text, cut to its low 16 bits; 0 for an empty text.
    void SetDivisionText(const std::string& text);

private:
    // Whether the stored tempo event holds its three data bytes.
    bool HoldsTempoValue() const;
    static const ByteArray* Present(const std::optional<ByteArray>& a) { return a ? &*a : nullptr; }

    std::string m_copyright;
    std::string m_sequenceName;
    std::string m_instrumentName;
    std::string m_lyric;
    std::string m_cuePoint;
    std::optional<ByteArray> m_pSysex;
    std::optional<ByteArray> m_pTempo; // FF 51 03 t1 t2 t3 and the delta-time that followed it
    std::optional<ByteArray> m_pSmpteOffset;
    std::optional<ByteArray> m_pTimeSignature;
    std::optional<ByteArray> m_pKeySignature;
};

} // namespace korvane
