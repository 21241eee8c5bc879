#pragma once

#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"

#include <string>
#include <vector>

namespace korvane::testing {

// The section names of a written style as the reader finds them; empty when it cannot be read.
inline std::vector<std::string> SectionNamesOfFile(const std::string& path) {
    CScriptedMessageBox messages;
    CStyleDocument document;
    document.StartNextFile();
    std::vector<std::string> names;
    if (ReadStyleFile(path, document, messages) == ReadResult::Ok) {
        for (const CStyleSection* section : document.GetSections())
            names.push_back(section->GetName());
    }
    return names;
}

} // namespace korvane::testing
