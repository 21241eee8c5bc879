#include "style/PropertiesForm.h"

#include "style/ByteTypes.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

ByteArray B(std::initializer_list<int> values) {
    ByteArray bytes;
    for (int value : values)
        bytes.push_back(std::uint8_t(value));
    return bytes;
}

const ByteArray kTempo120 = B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00});

// The four text forms of the properties, with the examples a user meets.
TEST(PropertiesTextTest, TextForms) {
    CStyleProperties p;
    p.SetTempo(kTempo120);
    EXPECT_EQ(p.GetTempoText(), "120"); // 500,000 microseconds per beat

    p.SetTempo(B({0xFF, 0x51, 0x03, 0x00, 0x00, 0x00, 0x00}));
    p.SetTempoText("120");
    EXPECT_EQ(*p.GetTempo(), kTempo120);

    p.SetDivisionText("70000");
    EXPECT_EQ(p.m_division, 4464);
    p.SetDivisionText("480 ppq");
    EXPECT_EQ(p.m_division, 480);
    p.SetDivisionText("ppq");
    EXPECT_EQ(p.m_division, 0);

    struct {
        int numerator, exponent, clocks;
        const char* text;
    } const signatures[] = {
        {4, 2, 24, "4/4 24 clocks PQN"},
        {3, 0, 24, "3/1 24 clocks PQN"},
        {6, 3, 36, "6/8 36 clocks PQN"},
    };
    for (const auto& s : signatures) {
        p.SetTimeSignature(B({0xFF, 0x58, 0x04, s.numerator, s.exponent, s.clocks, 8}));
        EXPECT_EQ(p.GetTimeSignatureText(), s.text);
    }
}

// A tempo event whose length byte says fewer than three data bytes: the bytes after it belong to
// what follows, so no tempo is shown and none is stored into them.
TEST(PropertiesTextTest, ShortTempoEventShowsNoTempo) {
    for (int length : {0, 1, 2}) {
        CStyleProperties p;
        const ByteArray event = B({0xFF, 0x51, length, 0x07, 0xA1, 0x00, 0x00});
        p.SetTempo(event);
        EXPECT_EQ(p.GetTempoText(), "") << length;
        p.SetTempoText("90");
        EXPECT_EQ(*p.GetTempo(), event) << length;
    }
    CStyleProperties cut;
    cut.SetTempo(B({0xFF, 0x51, 0x03, 0x07}));
    EXPECT_EQ(cut.GetTempoText(), "");
}

CStyleProperties Properties(const ByteArray& tempo) {
    CStyleProperties p;
    p.m_format = 0;
    p.m_trackCount = 1;
    p.m_division = 1920;
    p.SetTempo(tempo);
    p.SetTimeSignature(B({0xFF, 0x58, 0x04, 4, 2, 24, 8}));
    p.SetSequenceName("Pop Ballad");
    p.SetCopyright("(c) us");
    return p;
}

TEST(PropertiesFormTest, ColumnShowsEveryRow) {
    const CStyleProperties p = Properties(kTempo120);
    EXPECT_EQ(
        ColumnFromProperties(&p),
        (PropertiesColumn{"0", "1", "1920", "120", "4/4 24 clocks PQN", "Pop Ballad", "(c) us"}));
    EXPECT_EQ(ColumnFromProperties(nullptr), PropertiesColumn{});
}

TEST(PropertiesFormTest, OkAppliesTypedValues) {
    CStyleProperties p = Properties(kTempo120);
    const PropertiesColumn shown = ColumnFromProperties(&p);
    PropertiesColumn typed = shown;
    typed.division = "96";
    typed.tempo = "60";
    typed.sequenceName = "Slow";
    typed.copyright = "";
    typed.format = "1";          // shown only
    typed.trackCount = "9";      // shown only
    typed.timeSignature = "3/4"; // shown only
    ApplyPropertiesColumn(p, shown, typed);
    EXPECT_EQ(p.m_division, 96);
    EXPECT_EQ(*p.GetTempo(), B({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00}));
    EXPECT_EQ(p.GetSequenceName(), "Slow");
    EXPECT_EQ(p.GetCopyright(), "");
    EXPECT_EQ(p.m_format, 0);
    EXPECT_EQ(p.m_trackCount, 1);
    EXPECT_EQ(p.GetTimeSignatureText(), "4/4 24 clocks PQN");
}

// Confirming without touching the tempo keeps its bytes, even when they do not come back from the
// whole number shown (500,001 microseconds shows 120, which would store 500,000).
TEST(PropertiesFormTest, UntouchedTempoNeverDrifts) {
    const ByteArray odd = B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x21, 0x00});
    CStyleProperties p = Properties(odd);
    const PropertiesColumn shown = ColumnFromProperties(&p);
    EXPECT_EQ(shown.tempo, "120");
    ApplyPropertiesColumn(p, shown, shown);
    EXPECT_EQ(*p.GetTempo(), odd);

    for (const char* nonsense : {"0", "-120", "fast", ""}) {
        PropertiesColumn typed = shown;
        typed.tempo = nonsense;
        ApplyPropertiesColumn(p, shown, typed);
        EXPECT_EQ(*p.GetTempo(), odd) << nonsense;
    }
}

// Cut between characters: a UTF-8 text before the character that would pass byte 255, a Latin-1
// one (every byte a character) at byte 255.
TEST(PropertiesFormTest, TextsKeepAtMost255Bytes) {
    CStyleProperties p = Properties(kTempo120);
    const PropertiesColumn shown = ColumnFromProperties(&p);
    PropertiesColumn typed = shown;
    typed.sequenceName = std::string(254, 'n') + "\xC3\xA9";
    typed.copyright = std::string(300, '\xE9');
    ApplyPropertiesColumn(p, shown, typed);
    EXPECT_EQ(p.GetSequenceName(), std::string(254, 'n'));
    EXPECT_EQ(p.GetCopyright(), std::string(255, '\xE9'));
}

TEST(PropertiesFormTest, MissingPropertiesAreCreatedFromTypedValues) {
    testing::CScriptedMessageBox messages;
    CStyleDocument document;
    const PropertiesForm shown = PropertiesFormFromDocument(document);
    EXPECT_EQ(shown.source, PropertiesColumn{});

    PropertiesForm typed = shown;
    typed.source.division = "96";
    typed.destination.timeSignature = "4/4"; // never read back: creates nothing
    typed.destination.format = "1";
    ApplyPropertiesForm(document, shown, typed, messages);

    const CStyleProperties* source = document.GetSourceProperties();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->m_division, 96);
    EXPECT_EQ(source->m_format, 0);
    EXPECT_EQ(source->m_trackCount, 0);
    EXPECT_EQ(source->GetSequenceName(), "");
    EXPECT_EQ(source->GetTempo(), nullptr);
    EXPECT_EQ(document.GetDestinationProperties(), nullptr);

    // A tempo typed for properties without a tempo event creates properties but no tempo.
    PropertiesForm tempoOnly = PropertiesFormFromDocument(document);
    const PropertiesForm before = tempoOnly;
    tempoOnly.destination.tempo = "100";
    ApplyPropertiesForm(document, before, tempoOnly, messages);
    ASSERT_NE(document.GetDestinationProperties(), nullptr);
    EXPECT_EQ(document.GetDestinationProperties()->GetTempo(), nullptr);
    EXPECT_EQ(document.GetDestinationProperties()->m_division, 0);
}

// The 24-bit tempo holds 4 to 60,000,000 BPM; any other typed tempo is refused, nothing stored.
TEST(PropertiesFormTest, TempoTheEventCannotHoldIsRefused) {
    testing::CScriptedMessageBox messages;
    const std::pair<std::string, std::string> cases[] = {
        {"3", "120"}, {"60000001", "120"}, {"4", "4"}, {"60000000", "65535"}};
    for (const auto& [text, after] : cases) {
        CStyleDocument document;
        document.ResetSourceProperties().SetTempo(kTempo120);
        const PropertiesForm shown = PropertiesFormFromDocument(document);
        PropertiesForm typed = shown;
        typed.source.division = "96";
        typed.source.tempo = text;
        EXPECT_EQ(ApplyPropertiesForm(document, shown, typed, messages), after != "120");
        EXPECT_EQ(document.GetSourceProperties()->GetTempoText(), after);
        EXPECT_EQ(document.GetSourceProperties()->m_division, after != "120" ? 96 : 0);
    }
    EXPECT_EQ(messages.shown.at(1).text, "A style cannot hold the tempo 60000001.\nTempos from 4 "
                                         "to 60000000 BPM fit. Nothing was changed.");
    // An emptied box leaves the tempo as it is, without a word.
    CStyleDocument document;
    document.ResetSourceProperties().SetTempo(kTempo120);
    const PropertiesForm shown = PropertiesFormFromDocument(document);
    PropertiesForm typed = shown;
    typed.source.tempo.clear();
    EXPECT_TRUE(ApplyPropertiesForm(document, shown, typed, messages));
    EXPECT_EQ(document.GetSourceProperties()->GetTempoText(), "120");
    EXPECT_EQ(messages.shown.size(), 2u);
}

// A Latin-1 sequence name edited in the box (which shows and gives back UTF-8) is written in
// Latin-1; a character Latin-1 lacks is refused. The copyright, untouched, keeps its bytes.
TEST(PropertiesFormTest, AnEditedTextKeepsItsOriginalsEncoding) {
    testing::CScriptedMessageBox messages;
    CStyleDocument document;
    document.ResetSourceProperties().SetSequenceName("Caf\xE9 M\xFCsik");
    document.GetSourceProperties()->SetCopyright("\xA9 Zo\xEB");
    const PropertiesForm shown = PropertiesFormFromDocument(document);
    PropertiesForm typed = shown;
    typed.source.sequenceName = "Caf\xC3\xA9 M\xC3\xBCsik 2";
    EXPECT_TRUE(ApplyPropertiesForm(document, shown, typed, messages));
    EXPECT_EQ(document.GetSourceProperties()->GetSequenceName(), "Caf\xE9 M\xFCsik 2");
    EXPECT_EQ(document.GetSourceProperties()->GetCopyright(), "\xA9 Zo\xEB");

    typed.source.sequenceName = "Caf\xC3\xA9 \xE2\x82\xAC"; // a euro sign
    EXPECT_FALSE(ApplyPropertiesForm(document, shown, typed, messages));
    EXPECT_EQ(document.GetSourceProperties()->GetSequenceName(), "Caf\xE9 M\xFCsik 2");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The sequence name \"Caf\xC3\xA9 \xE2\x82\xAC\" has characters that its original's "
              "encoding, Latin-1, lacks.\nUse Latin-1 characters only. Nothing was changed.");
    // The copyright follows the same rule.
    typed.source.sequenceName = shown.source.sequenceName;
    typed.source.copyright = "\xC2\xA9 Zo\xC3\xAB 2";
    EXPECT_TRUE(ApplyPropertiesForm(document, shown, typed, messages));
    EXPECT_EQ(document.GetSourceProperties()->GetCopyright(), "\xA9 Zo\xEB 2");
}

} // namespace
} // namespace korvane
