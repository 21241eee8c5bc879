#include "assignment/ConversionEngine.h"

#include "style/StyleReader.h"

#include <algorithm>
#include <new>

namespace korvane {

int FindPlanRow(const CStyleDocument& document, const std::string& name) {
    if (name.empty())
        return -1;
    const auto& sections = document.GetSections();
    const int rows = std::min<int>(kSlotCount, int(sections.size()));
    for (int row = 0; row < rows; ++row) {
        if (sections[row]->GetName() == name)
            return row;
    }
    return -1;
}

int FindPlanSlot(const SectionLayout& layout, const std::string& name) {
    if (name.empty())
        return -1;
    const int slots = std::min<int>(kSlotCount, int(layout.size()));
    for (int slot = 0; slot < slots; ++slot) {
        if (layout[slot] == name)
            return slot;
    }
    return -1;
}

ConversionPlan PlanByName(const CStyleDocument& document, const SectionLayout& layout) {
    ConversionPlan plan{layout, {}};
    std::array<bool, kSlotCount> taken{};
    const auto& sections = document.GetSections();
    for (int row = 0; row < std::min<int>(kSlotCount, int(sections.size())); ++row) {
        const int slot = FindPlanSlot(layout, sections[row]->GetName());
        if (slot >= 0 && !taken[slot]) {
            taken[slot] = true;
            plan.steps.push_back({row, slot});
        }
    }
    return plan;
}

ConversionPlan PlanCopyAll(const CStyleDocument& document, const SectionLayout& layout) {
    ConversionPlan plan{layout, {}};
    const auto& sections = document.GetSections();
    const int rows = std::min({kSlotCount, int(sections.size()), int(layout.size())});
    for (int row = 0; row < rows; ++row) {
        // A section without a name cannot be selected, so nothing of it is copied.
        if (!sections[row]->GetName().empty() && !layout[row].empty())
            plan.steps.push_back({row, row});
    }
    return plan;
}

ConversionPlan PlanByNames(const CStyleDocument& document, const SectionLayout& layout,
                           const std::vector<PatternStep>& pairs) {
    ConversionPlan plan{layout, {}};
    for (const PatternStep& pair : pairs) {
        const int row = FindPlanRow(document, pair.from);
        if (row < 0)
            continue;
        const int slot = FindPlanSlot(layout, pair.to);
        if (slot < 0)
            continue; // the model lacks this slot; the later pairs still count
        plan.steps.push_back({row, slot});
    }
    return plan;
}

void ApplyPlan(CStyleDocument& document, const ConversionPlan& plan, AssignmentSlots& slots) {
    for (const PlanStep& step : plan.steps) {
        const std::string name = document.GetSections().at(step.row)->GetName();
        CStyleSection* section = document.FindSection(name);
        if (!section)
            continue;
        if (slots.at(step.slot).assigned)
            document.Unassign(std::uint32_t(step.slot));
        document.Assign(*section, std::uint32_t(step.slot));
        slots[step.slot] = {true, name, plan.layout.at(step.slot)};
        document.EnsureDestinationProperties();
    }
}

AssignmentSlots ApplyPlan(CStyleDocument& document, const ConversionPlan& plan) {
    AssignmentSlots slots;
    ApplyPlan(document, plan, slots);
    return slots;
}

namespace {

// The new style's bytes for the document's assignment: the one path from slots to bytes.
Outcome BuildPlannedStyle(const CStyleDocument& document, const AssignmentSlots& slots,
                          std::uint16_t resolution, const std::string& target, ByteArray& bytes) {
    std::vector<const CCsegRecord*> csegs;
    return BuildStyleFile(DocumentWriteInput(document, slots, csegs, resolution), target, bytes);
}

int CountAssigned(const AssignmentSlots& slots) {
    return int(
        std::count_if(slots.begin(), slots.end(), [](const auto& slot) { return slot.assigned; }));
}

// A plan by the request's pairs; with everyPairMatches, the first pair without its section or slot
// ends the conversion with its outcome.
ConversionPlan PlanByRequestPairs(const CStyleDocument& document, const ConversionRequest& request,
                                  Outcome& outcome) {
    if (request.everyPairMatches) {
        for (const PatternStep& pair : request.pairs) {
            if (FindPlanRow(document, pair.from) < 0) {
                outcome = MakeOutcome(Failure::NoSuchSection, request.path);
                outcome.name = pair.from;
                return {};
            }
            if (FindPlanSlot(request.layout, pair.to) < 0) {
                outcome = MakeOutcome(Failure::NoSuchSlot, request.path);
                outcome.name = pair.to;
                return {};
            }
        }
    }
    return PlanByNames(document, request.layout, request.pairs);
}

} // namespace

ConvertedStyle ConvertStyle(const ConversionRequest& request) {
    ConvertedStyle converted;
    try {
        if (request.made) {
            const MadeAssignment& made = *request.made;
            converted.sections = CountAssigned(*made.slots);
            converted.outcome = BuildPlannedStyle(*made.document, *made.slots, request.resolution,
                                                  request.target, converted.bytes);
            return converted;
        }
        CStyleDocument document;
        document.StartNextFile();
        converted.outcome = request.bytes ? ReadStyleBytes(*request.bytes, request.path, document)
                                          : ReadStyle(request.path, document);
        if (converted.outcome)
            return converted;
        converted.fromSff2 = document.GetConversionReport() != nullptr;
        document.SetVoiceChanges(request.voiceChanges);
        ConversionPlan plan;
        switch (request.rule) {
        case PlanRule::ByName:
            plan = PlanByName(document, request.layout);
            break;
        case PlanRule::CopyAll:
            plan = PlanCopyAll(document, request.layout);
            break;
        case PlanRule::ByNames:
            plan = PlanByRequestPairs(document, request, converted.outcome);
            if (converted.outcome)
                return converted;
            break;
        }
        const AssignmentSlots slots = ApplyPlan(document, plan);
        converted.sections = CountAssigned(slots);
        if (converted.sections == 0) {
            converted.outcome = MakeOutcome(Failure::NoSectionMatches, request.path);
            return converted;
        }
        converted.outcome =
            BuildPlannedStyle(document, slots, request.resolution, request.target, converted.bytes);
    } catch (const std::bad_alloc&) {
        converted.bytes.clear();
        converted.outcome = MakeOutcome(Failure::OutOfMemory, request.path);
    }
    return converted;
}

} // namespace korvane
