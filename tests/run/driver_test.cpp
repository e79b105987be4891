// The driver's own decisions: the silent switch and the handoff between
// preparation and the run. Whole runs are in the end-to-end script.
#include "run/driver.h"

#include <gtest/gtest.h>

namespace {

TEST(SilentSwitch, IsAPlainSubstringOfTheCommandLine) {
    struct row {
        const char* command_line;
        bool silent;
    };
    const row rows[] = {
        {"-s", true},
        {"-S", true},
        {"/update -s now", true},
        {"--fast-start", true},  // inside a longer word it counts too
        {"", false},
        {"s S /s", false},
        {"-x -t", false},
    };
    for (const row& r : rows) EXPECT_EQ(run::silent_switch(r.command_line), r.silent) << r.command_line;
    EXPECT_FALSE(run::silent_switch(nullptr));
}

TEST(Handoff, NamesTheManifestAndTheWorkFolder) {
    EXPECT_EQ(run::handoff_string("temp1.cab", "C:\\T\\PLUpdate\\"), "temp1.cab [C:\\T\\PLUpdate\\]");
}

TEST(Handoff, ParsingGivesBackWhatWasHandedOver) {
    const char* folders[] = {
        "C:\\users\\me\\Temp\\PLUpdate\\",
        "C:\\Documents and Settings\\A B\\Local Settings\\Temp\\PLUpdate\\",
        "C:\\Users\\x[2]\\Temp\\PLUpdate\\",  // a bracket in the user's folder name
        "Z:\\tmp\\[a] [b]\\PLUpdate\\",
    };
    for (const char* folder : folders) {
        std::string manifest, work;
        ASSERT_TRUE(run::parse_handoff(run::handoff_string("temp1.cab", folder), &manifest, &work)) << folder;
        EXPECT_EQ(manifest, "temp1.cab");
        EXPECT_EQ(work, folder);
    }
}

TEST(Handoff, TextWithoutABracketIsRefused) {
    std::string manifest, work;
    EXPECT_FALSE(run::parse_handoff("temp1.cab C:\\T\\", &manifest, &work));
    EXPECT_FALSE(run::parse_handoff("", &manifest, &work));
}

}  // namespace
