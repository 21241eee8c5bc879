#pragma once

#include <array>
#include <string>

namespace korvane {

constexpr int kSlotCount = 16;

// One destination slot of the chosen model's layout.
struct AssignmentSlot {
    bool assigned = false;
    std::string sourceName;      // the assigned section's name; empty when unassigned
    std::string destinationName; // the slot's destination label caption when assigned

    bool operator==(const AssignmentSlot&) const = default;
};

using AssignmentSlots = std::array<AssignmentSlot, kSlotCount>;

} // namespace korvane
