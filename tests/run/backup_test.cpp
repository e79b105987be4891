#include "run/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "support/platform_hooks.h"
#include "support/test_support.h"

namespace {

using testing_support::read_bytes;
using testing_support::text_bytes;

std::string read_text(const std::string& path) {
    testing_support::bytes b = read_bytes(path);
    return std::string(b.begin(), b.end());
}

class Backup : public ::testing::Test {
protected:
    std::string app_folder() const { return app.path().substr(0, app.path().size() - 1); }
    std::string backup(const std::string& name = "") const { return app / ("Backup\\" + name); }

    testing_support::scratch_folder app;
};

TEST_F(Backup, YesKeepsTheOldCopiesAndDropsTheCopiesOfARunThatNeverCommitted) {
    ASSERT_EQ(platform::create_directory(backup().c_str()), platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(backup("LOG.TXT"), text_bytes("Build:819\r\n")));
    ASSERT_TRUE(testing_support::write_bytes(backup("old.dll"), text_bytes("old")));
    ASSERT_EQ(platform::create_directory(backup("PLUpdate.new").c_str()), platform::create_directory_result::created);
    ASSERT_EQ(platform::create_directory(backup("PLUpdate.new\\sub").c_str()),
              platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(backup("PLUpdate.new\\sub\\stale.dll"), text_bytes("stale")));

    testing_support::message_recorder boxes(platform::box_answer::yes);
    run::backup_choice choice = run::prepare_backup(nullptr, false, app_folder());
    EXPECT_EQ(choice.decision, run::backup_decision::with_backup);
    EXPECT_EQ(choice.folder, backup());
    EXPECT_EQ(boxes.messages(),
              std::vector<std::string>{"Pelora Updater: Do you want to backup your existing Pelora?"});
    EXPECT_TRUE(testing_support::exists(backup("LOG.TXT")));
    EXPECT_EQ(read_bytes(backup("old.dll")), text_bytes("old"));
    EXPECT_FALSE(testing_support::exists(backup("PLUpdate.new\\sub\\stale.dll")));
}

TEST_F(Backup, NoOrSilentModeLeavesBackupOff) {
    {
        testing_support::message_recorder boxes(platform::box_answer::no);
        EXPECT_EQ(run::prepare_backup(nullptr, false, app_folder()).decision, run::backup_decision::without_backup);
        EXPECT_EQ(boxes.messages().size(), 1u);
    }
    testing_support::message_recorder boxes(platform::box_answer::yes);
    EXPECT_EQ(run::prepare_backup(nullptr, true, app_folder()).decision, run::backup_decision::without_backup);
    EXPECT_TRUE(boxes.messages().empty());
    EXPECT_FALSE(testing_support::exists(backup("Log.txt")));
}

TEST_F(Backup, AFolderThatCannotBeMadeAsksWhetherToGoOn) {
    const std::string missing = app / "missing\\deeper";
    struct answer_case {
        platform::box_answer answer;
        run::backup_decision decision;
    };
    for (answer_case c : {answer_case{platform::box_answer::yes, run::backup_decision::without_backup},
                          answer_case{platform::box_answer::no, run::backup_decision::stop_run}}) {
        // The first question (back up?) gets Yes; the second (go on without?) the case's answer.
        static platform::box_answer second;
        static int asked;
        second = c.answer;
        asked = 0;
        platform::message_box_handler previous = platform::set_message_box_handler(
            [](const char*, const char*, platform::box_buttons) {
                return ++asked == 1 ? platform::box_answer::yes : second;
            });
        run::backup_choice choice = run::prepare_backup(nullptr, false, missing);
        platform::set_message_box_handler(previous);
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(choice.decision, c.decision);
    }
}

TEST_F(Backup, LogLinesAndCopies) {
    testing_support::message_recorder boxes(platform::box_answer::yes);
    // A day past the twelfth cannot be taken for a month.
    testing_support::pinned_local_time now({2026, 3, 25, 7, 8, 9});
    run::backup_choice choice = run::prepare_backup(nullptr, false, app_folder());
    ASSERT_EQ(choice.decision, run::backup_decision::with_backup);
    const std::string& folder = choice.folder;
    ASSERT_TRUE(testing_support::write_bytes(app / "Pelora9.exe", text_bytes("exe")));
    testing_support::scratch_folder work;
    ASSERT_TRUE(
        testing_support::write_bytes(work / "PLUpdate.ini", text_bytes("[Params]\r\nA=1\r\n[Build]\r\nversion=820\r\n")));
    ASSERT_EQ(platform::create_directory((app / "Base Symbols").c_str()), platform::create_directory_result::created);
    ASSERT_EQ(platform::create_directory((app / "GIS Symbols").c_str()), platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(app / "Base Symbols\\Weather.MCR", text_bytes("base")));
    ASSERT_TRUE(testing_support::write_bytes(app / "GIS Symbols\\Weather.MCR", text_bytes("gis")));

    run::log_build_line(folder, package::status_file{work.path()});
    run::back_up(folder, app / "Pelora9.exe", "Pelora9.exe");
    run::back_up(folder, app / "Base Symbols\\Weather.MCR", "Base Symbols\\Weather.MCR");
    run::back_up(folder, app / "GIS Symbols\\Weather.MCR", "GIS Symbols\\Weather.MCR");
    run::back_up(folder, app / "New.dll", "New.dll");          // nothing to copy: still logged
    run::back_up(folder, app / "a\\b\\c.txt", "a\\b\\c.txt");  // "b\c.txt" has no folder in Backup

    // The copies wait for the commit, then take the older ones' place.
    ASSERT_TRUE(testing_support::write_bytes(backup("Pelora9.exe"), text_bytes("the copy of an earlier update")));
    EXPECT_EQ(read_bytes(backup("PLUpdate.new\\Pelora9.exe")), text_bytes("exe"));
    EXPECT_EQ(read_bytes(backup("Pelora9.exe")), text_bytes("the copy of an earlier update"));
    run::promote_copies(folder);
    EXPECT_EQ(read_bytes(backup("Pelora9.exe")), text_bytes("exe"));
    EXPECT_EQ(read_bytes(backup("Weather.MCR")), text_bytes("gis"));  // the later copy wins
    EXPECT_FALSE(testing_support::exists(backup("New.dll")));
    EXPECT_FALSE(testing_support::exists(backup("PLUpdate.new\\Pelora9.exe")));

    EXPECT_EQ(read_text(backup("Log.txt")),
              "Build:820\r\n"
              "File:Pelora9.exe on 03/25/26 07:08:09\r\n"
              "File:Base Symbols\\Weather.MCR on 03/25/26 07:08:09\r\n"
              "File:GIS Symbols\\Weather.MCR on 03/25/26 07:08:09\r\n"
              "File:New.dll on 03/25/26 07:08:09\r\n"
              "File:a\\b\\c.txt on 03/25/26 07:08:09\r\n");
}

// A copy that cannot be made (a full disk) or a target that is a link:
// the entry is to fail, so no line claims a copy and no partial copy stays.
TEST_F(Backup, ACopyThatFailsIsNeitherLoggedNorLeft) {
    testing_support::message_recorder boxes(platform::box_answer::yes);
    run::backup_choice choice = run::prepare_backup(nullptr, false, app_folder());
    ASSERT_EQ(choice.decision, run::backup_decision::with_backup);
    ASSERT_TRUE(testing_support::write_bytes(app / "PLCore.dll", text_bytes("core")));
    {
        testing_support::failing_call failing(platform::file_call::copy_file);
        EXPECT_FALSE(run::back_up(choice.folder, app / "PLCore.dll", "PLCore.dll"));
    }
    EXPECT_FALSE(testing_support::exists(backup("PLUpdate.new\\PLCore.dll")));
    EXPECT_FALSE(testing_support::exists(backup("Log.txt")));
#ifndef _WIN32
    // A link to a file outside the installation, made on the host's side of
    // the Z: drive.
    auto host = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path.substr(2);
    };
    std::error_code error;
    std::filesystem::create_symlink(host(app / "PLCore.dll"), host(app / "Linked.dll"), error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(run::back_up(choice.folder, app / "Linked.dll", "Linked.dll"));
    EXPECT_FALSE(testing_support::exists(backup("PLUpdate.new\\Linked.dll")));
    EXPECT_FALSE(testing_support::exists(backup("Log.txt")));
#endif
}

}  // namespace
