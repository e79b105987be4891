#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "package/work_folder.h"
#include "platform/files.h"
#include "support/read_only.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::native_path;
using testing_support::read_bytes;
using testing_support::scratch_folder;
using testing_support::text_bytes;
using testing_support::write_bytes;

struct stale_case {
    const char* name;
    // Leaves something in or at the work folder `work` (no trailing
    // backslash); `outside` is a folder beside it that must stay untouched.
    std::function<void(const std::string& work, const std::string& outside)> leave;
};

// Whatever an earlier run or another user left is cleared, never followed,
// and the folder is made anew, empty and private.
TEST(WorkFolder, StaleContentIsClearedAndTheFolderMadeAnew) {
    const stale_case cases[] = {
        {"nothing", [](const std::string&, const std::string&) {}},
        {"folder named like a split file",
         [](const std::string& work, const std::string&) {
             fs::create_directories(native_path(work + "\\temp5.cab\\inner"));
             write_bytes(work + "\\temp5.cab\\inner\\x", text_bytes("x"));
         }},
        {"read-only split file and status file",
         [](const std::string& work, const std::string&) {
             fs::create_directories(native_path(work));
             write_bytes(work + "\\temp3.cab", text_bytes("old"));
             write_bytes(work + "\\PLUpdate.ini", text_bytes("[Status]\r\nCurStat=3\r\n"));
             testing_support::make_read_only(work + "\\temp3.cab");
             testing_support::make_read_only(work + "\\PLUpdate.ini");
         }},
        {"a file in its place",
         [](const std::string& work, const std::string&) { write_bytes(work, text_bytes("not a folder")); }},
#ifndef _WIN32
        {"links to files elsewhere",
         [](const std::string& work, const std::string& outside) {
             fs::create_directories(native_path(work));
             fs::create_symlink(native_path(outside + "\\kept.txt"), native_path(work + "\\temp2.cab"));
             fs::create_directory_symlink(native_path(outside), native_path(work + "\\temp3.cab"));
         }},
        {"a link in its place",
         [](const std::string& work, const std::string& outside) {
             fs::create_directory_symlink(native_path(outside), native_path(work));
         }},
#endif
    };
    for (const stale_case& c : cases) {
        SCOPED_TRACE(c.name);
        scratch_folder folder;
        const std::string work = folder / "PLUpdate";
        const std::string outside = folder / "outside";
        fs::create_directories(native_path(outside));
        ASSERT_TRUE(write_bytes(outside + "\\kept.txt", text_bytes("kept")));
        c.leave(work, outside);

        ASSERT_TRUE(package::make_work_folder(work + "\\"));
        const fs::path native = native_path(work);
        EXPECT_FALSE(fs::is_symlink(native));
        EXPECT_TRUE(fs::is_directory(native));
        EXPECT_TRUE(fs::is_empty(native));
#ifndef _WIN32
        EXPECT_EQ(fs::status(native).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
        EXPECT_EQ(read_bytes(outside + "\\kept.txt"), text_bytes("kept"));
        // The split then writes into the fresh folder.
        const auto payload = testing_support::payload_record(text_bytes("new"));
        EXPECT_EQ(package::write_payload_records(payload.data(), static_cast<std::uint32_t>(payload.size()),
                                                 work + "\\", nullptr),
                  package::split_result::written);
        EXPECT_EQ(read_bytes(work + "\\temp2.cab"), text_bytes("new"));
    }
}

// A split file is never written through a name someone else already holds.
TEST(WorkFolder, SplitRefusesANameAlreadyTaken) {
    scratch_folder folder;
    ASSERT_TRUE(write_bytes(folder / "temp2.cab", text_bytes("someone else's")));
    const auto payload = testing_support::payload_record(text_bytes("new"));
    EXPECT_EQ(package::write_payload_records(payload.data(), static_cast<std::uint32_t>(payload.size()),
                                             folder.path(), nullptr),
              package::split_result::cannot_create);
    EXPECT_EQ(read_bytes(folder / "temp2.cab"), text_bytes("someone else's"));
}

}  // namespace
