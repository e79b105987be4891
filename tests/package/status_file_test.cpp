#include "package/status_file.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/test_support.h"

namespace {

using testing_support::read_bytes;
using testing_support::scratch_folder;
using testing_support::text_bytes;
using testing_support::write_bytes;

using testing_support::text_of;

// A work folder holding the package's status file, as unpacking leaves it.
struct work_folder {
    scratch_folder folder;
    std::string package = text_of(read_bytes(testing_support::data_file("package_status.ini")));
    package::status_file status{folder.path()};
    work_folder() { unpack(); }
    void unpack() const { EXPECT_TRUE(write_bytes(path(), text_bytes(package))); }
    std::string path() const { return folder / "PLUpdate.ini"; }
    std::string contents() const { return text_of(read_bytes(path())); }
};

TEST(StatusFile, PackageValues) {
    work_folder work;
    ASSERT_FALSE(work.package.empty());
    EXPECT_EQ(work.status.path(), work.path());
    EXPECT_EQ(work.status.read_build_number(), 820);
    // [678] has a Command of its own; only [General] Command counts.
    EXPECT_EQ(work.status.read_relaunch_command(), "Pelora9.exe");
    EXPECT_EQ(work.contents(), work.package);
}

TEST(StatusFile, OutcomeFormsKeepTheReleaseData) {
    struct outcome_case {
        int result;
        std::string added;
    };
    const outcome_case cases[] = {
        {0, "[Status]\r\nCurStat=3\r\n"},
        {1, "[Status]\r\nCurStat=4\r\nErrorCode=1\r\n"},
        {-3, "[Status]\r\nCurStat=4\r\nErrorCode=-3\r\n"},
        {INT_MIN, "[Status]\r\nCurStat=4\r\nErrorCode=-2147483648\r\n"},
    };
    for (const outcome_case& c : cases) {
        work_folder work;
        work.status.record_outcome(c.result);
        EXPECT_EQ(work.contents(), work.package + c.added) << c.result;
    }
}

TEST(StatusFile, OutcomesOverOneFileAndANewRun) {
    work_folder work;
    work.status.record_outcome(-3);
    work.status.record_outcome(5);
    EXPECT_EQ(work.contents(), work.package + "[Status]\r\nCurStat=4\r\nErrorCode=5\r\n");
    // Success writes no ErrorCode and removes none.
    work.status.record_outcome(0);
    EXPECT_EQ(work.contents(), work.package + "[Status]\r\nCurStat=3\r\nErrorCode=5\r\n");

    // The next run unpacks the package's file again: no trace of this one.
    work.unpack();
    work.status.record_outcome(0);
    EXPECT_EQ(work.contents(), work.package + "[Status]\r\nCurStat=3\r\n");
}

TEST(StatusFile, CommandFromGeneral) {
    const std::string long_command = "Pelora9.exe " + std::string(2100, 'a');
    struct command_case {
        std::string general;
        std::string expected;
    };
    const command_case cases[] = {
        {"[General]\r\nCommand=Pelora9.exe /update\r\n", "Pelora9.exe /update"},
        {"[General]\r\nCommand=" + long_command + "\r\n", long_command.substr(0, 1999)},
        {"[General]\r\n", "Pelora9.exe"},
    };
    for (const command_case& c : cases) {
        work_folder work;
        ASSERT_TRUE(write_bytes(work.path(), text_bytes(c.general + work.package)));
        EXPECT_EQ(work.status.read_relaunch_command(), c.expected);
    }
}

TEST(StatusFile, MissingFile) {
    scratch_folder folder;
    const package::status_file status{folder.path()};
    EXPECT_EQ(status.read_build_number(), 0);
    EXPECT_EQ(status.read_relaunch_command(), "Pelora9.exe");
    status.record_outcome(2);
    EXPECT_EQ(text_of(read_bytes(folder / "PLUpdate.ini")), "[Status]\r\nCurStat=4\r\nErrorCode=2\r\n");
}

}  // namespace
