#pragma once

#include "platform/Sequencer.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A sequencer that records every command and fails the commands the test names: a command that
// begins with a key of failures returns that code; reasons gives the codes a description.
class CRecordingSequencer : public ISequencer {
public:
    int SendCommand(const std::string& command) override {
        commands.push_back(command);
        for (const auto& [prefix, code] : failures) {
            if (command.rfind(prefix, 0) == 0)
                return code;
        }
        return 0;
    }
    std::optional<std::string> GetErrorText(int code) override {
        const auto found = reasons.find(code);
        return found == reasons.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

    std::vector<std::string> commands;
    std::map<std::string, int> failures;
    std::map<int, std::string> reasons;
};

} // namespace korvane::testing
