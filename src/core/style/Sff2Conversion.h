#pragma once

#include "style/ByteTypes.h"
#include "style/Outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// Newer keyboards write SFF2 styles: the same track, but each channel record of a CSEG is a Ctb2
// chunk of 47 or 51 bytes with three note zones instead of a Ctab of 27 or 31. Each Ctb2 becomes
// one Ctab built from its middle zone; what the Ctab cannot hold is listed in the report.

constexpr std::size_t kCtb2Length = 47;
constexpr std::size_t kCtb2LengthWithFeature = 51;

// What the conversion of one record had to leave out, in the order the report lists them.
enum class ConversionLoss {
    LowZoneDropped,   // an active low zone (middle zone starts above note 0)
    HighZoneDropped,  // an active high zone (middle zone ends below note 127)
    GuitarMadeChord,  // a guitar rule became root fixed with the chord table
    MinorTableFolded, // an extended minor table became melodic or harmonic minor
    BassOnMadePlain,  // the bass-on flag could not become the bass table
    InlineFeatureDropped,
};

// The report line of a loss: "active low zone dropped" and so on.
std::string ConversionLossText(ConversionLoss loss);

// The Ctab data of one Ctb2 record, or why there is none.
struct Ctb2Conversion {
    bool converted = false;
    ByteArray ctab;                     // 27 or 31 data bytes, without tag and length
    std::vector<ConversionLoss> losses; // in report order
    std::string failure;                // when not converted: "its NTR is 3" and the like
};

// Converts the data bytes of one Ctb2 chunk (without tag and length) whose length field said
// chunkLength; only 47 and 51 convert.
Ctb2Conversion ConvertCtb2(const ByteArray& ctb2, std::uint32_t chunkLength);

// The reader's outcome for a record that does not convert: the file, the CSEG by its Sdec text,
// the channel and the reason.
Outcome Ctb2Failure(const std::string& path, const std::string& sdecText, const ByteArray& ctb2,
                    const std::string& failure);

// Its message, as the window shows it.
std::string Ctb2FailureText(const std::string& fileName, const std::string& sdecText,
                            const ByteArray& ctb2, const std::string& failure);

// One loss of one channel record, with the CSEG it was found in.
struct ConversionNote {
    int channel = 0;         // the record's destination as a MIDI channel number (9 to 16)
    std::string channelName; // the record's eight-byte name, trailing spaces removed
    std::string sections;    // the CSEG's Sdec text
    ConversionLoss loss = ConversionLoss::LowZoneDropped;
};

// What reading an SFF2 style changed: held by the document for the file opened last.
class CConversionReport {
public:
    // Notes every loss of one converted record of the CSEG whose Sdec text is given.
    void AddRecord(const ByteArray& ctb2, const std::string& sdecText,
                   const std::vector<ConversionLoss>& losses);

    // "SFF2 style, converted to SFF1", then per channel (in channel order) a line with the
    // channel and its name and one indented line per loss naming the CSEGs it was found in:
    //   Channel 11 "Chord1":
    //     guitar table made root fixed/chord: Main A,Main B; Fill In AA
    std::string GetText() const;

    // The report grouped as GetText groups it: per channel, the losses and their CSEGs.
    struct LossGroup {
        ConversionLoss loss;
        std::vector<std::string> sections;
    };
    struct ChannelGroup {
        int channel;
        std::string channelName;
        std::vector<LossGroup> losses;
    };
    std::vector<ChannelGroup> GetChannels() const;

private:
    std::vector<ConversionNote> m_notes;
};

// The record's destination channel and name, for messages: 11 "Chord1". Short records give what
// they hold.
std::string Ctb2ChannelText(const ByteArray& ctb2);

} // namespace korvane
