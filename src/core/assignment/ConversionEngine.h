#pragma once

#include "settings/Settings.h"
#include "style/AssignmentSlot.h"
#include "style/Outcome.h"
#include "style/StyleDocument.h"
#include "style/StyleWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

// A model's section layout: name i belongs to slot i.
using SectionLayout = std::vector<std::string>;

// One pairing of a plan: the section shown in this row of the source column (the first 16 of
// the file read last) goes to this slot.
struct PlanStep {
    int row = 0;
    int slot = 0;
    bool operator==(const PlanStep&) const = default;
};

// Which section of the read style goes to which slot of the model, in the order the steps are
// carried out: a step to a slot that holds a section already replaces it.
struct ConversionPlan {
    SectionLayout layout;
    std::vector<PlanStep> steps;
};

// The row of the first of the first 16 sections named name, or of the layout's first slot of that
// name; -1 when there is none (an empty name matches nothing).
int FindPlanRow(const CStyleDocument& document, const std::string& name);
int FindPlanSlot(const SectionLayout& layout, const std::string& name);

// Assign by Name: every section whose name is a slot of the layout goes to the first slot of that
// name, unless an earlier section took it.
ConversionPlan PlanByName(const CStyleDocument& document, const SectionLayout& layout);
// Copy All: section i to slot i, for every slot of the layout that has a section.
ConversionPlan PlanCopyAll(const CStyleDocument& document, const SectionLayout& layout);
// Pairs by names (a stored conversion pattern, --assign): for each pair in order, the first
// section of the from-name to the first slot of the to-name; a pair whose section or slot is
// missing is passed over and the later ones still count.
ConversionPlan PlanByNames(const CStyleDocument& document, const SectionLayout& layout,
                           const std::vector<PatternStep>& pairs);

// Carries the plan out on the document: each step assigns the first section of its row's name to
// its slot, replacing what held it; slots not in the plan keep what they hold. The slots are
// those the writer takes.
void ApplyPlan(CStyleDocument& document, const ConversionPlan& plan, AssignmentSlots& slots);
// The same on empty slots; returns them.
AssignmentSlots ApplyPlan(CStyleDocument& document, const ConversionPlan& plan);

// A whole conversion without a window: read, plan, bytes.
struct ConvertedStyle {
    Outcome outcome;
    ByteArray bytes;
    int sections = 0;      // slots written
    bool fromSff2 = false; // the reader converted an SFF2 style
};

// How a headless conversion makes its plan from the style it read.
enum class PlanRule { ByName, CopyAll, ByNames };

// An assignment made already, in a window's table (sections of several files, voice edits): it is
// written as it stands, neither read nor planned.
struct MadeAssignment {
    const CStyleDocument* document = nullptr;
    const AssignmentSlots* slots = nullptr;
};

// What to convert and how. The style is taken from the made assignment when there is one, else
// read from bytes when they are given (a caller without a file system, such as the web page),
// otherwise from the file at path; path names the style in the outcome either way.
struct ConversionRequest {
    std::optional<MadeAssignment> made; // the window's Save and Play; layout, rule, pairs unused
    std::string path;                   // the style file to read, or the name of the bytes
    std::optional<ByteArray> bytes;     // the style's bytes in memory; read instead of path
    SectionLayout layout;
    PlanRule rule = PlanRule::ByName;
    std::vector<PatternStep> pairs; // PlanRule::ByNames
    // PlanRule::ByNames: a pair whose section is not among the first 16 fails the conversion
    // (NoSuchSection), and so does a pair whose slot the layout lacks (NoSuchSlot); otherwise such
    // a pair is passed over.
    bool everyPairMatches = false;
    std::uint16_t resolution = 0; // 0 keeps the source's
    std::string target;           // names the new file in the outcome
    VoiceChanges voiceChanges;    // written into the parts' setup events
};

// The one conversion call of the window's Save and Play, Auto Convert, korvane-cli, folder
// conversion and the web page: reads the style (bytes or file, by the reader's rules), plans the
// request's rule on it, applies the plan and builds the new style's bytes; a made assignment is
// only built. Fails as the reader
// does, with NoSuchSection or NoSuchSlot (see everyPairMatches), with NoSectionMatches when the
// plan assigns nothing, as the writer does, or with OutOfMemory; nothing is thrown.
ConvertedStyle ConvertStyle(const ConversionRequest& request);

} // namespace korvane
