#pragma once

#include "assignment/AssignmentTable.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "settings/Settings.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane::testing {

// A table with a generated style open for the PSR-9000 and its first sections assigned by
// position, and an audition folder (with a space in its name) that does not exist yet.
class AuditionFixture : public ::testing::Test {
protected:
    void OpenStyle(int assignedSections, StyleGeneratorOptions options = {}) {
        options.sectionNames = SixteenSectionNames();
        options.compact = true;
        const GeneratedStyle style = GenerateStyle(options);
        const std::string path = folder.File("source style.sty");
        ASSERT_TRUE(WriteGeneratedStyle(style, path));
        settings.auditionFolder = folder.File("audition folder");
        table.SelectModel(ModelIndex("PSR-9000"));
        table.Clear();
        ASSERT_EQ(OpenStyleFile(table, settings, path), ReadResult::Ok);
        for (int row = 0; row < assignedSections; ++row)
            table.AssignPair(row, row);
    }

    std::string AuditionFile() const { return settings.auditionFolder + "/VCTEMP.MID"; }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CAssignmentTable table{messages};
    CSettings settings;
};

} // namespace korvane::testing
