// The host build's mapping between Windows paths and host paths, which
// follows Wine's: Z:\ is the host root, other drives live under
// $PLUPDATE_DRIVES, and a name of the wrong letter case finds the file.
#ifndef _WIN32

#include "platform/host/host_path.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

using platform::host::to_host;
using platform::host::to_windows;

// Sets an environment variable for one scope and puts it back after.
class scoped_env {
public:
    scoped_env(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~scoped_env() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    scoped_env(const scoped_env&) = delete;
    scoped_env& operator=(const scoped_env&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(HostPath, MapsDrivesAndSeparatorsAsWine) {
    scoped_env drives("PLUPDATE_DRIVES", "/srv/drives");
    const struct {
        const char* windows;
        const char* host;
    } cases[] = {
        {"Z:\\tmp\\x", "/tmp/x"},
        {"z:/tmp/x", "/tmp/x"},
        {"Z:\\", "/"},
        {"Z:\\tmp\\\\x", "/tmp/x"},
        {"Z:\\tmp\\", "/tmp/"},
        {"\\tmp\\x", "/tmp/x"},
        {"C:\\Program Files\\Pelora\\Pelora9.exe", "/srv/drives/c/Program Files/Pelora/Pelora9.exe"},
        {"d:\\data", "/srv/drives/d/data"},
        {"relative\\name.txt", "relative/name.txt"},
        {"name.txt", "name.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(to_host(c.windows), c.host) << c.windows;
}

TEST(HostPath, OtherDrivesAreMissingWithoutPlupdateDrives) {
    scoped_env drives("PLUPDATE_DRIVES", nullptr);
    std::string mapped = to_host("C:\\Windows\\win.ini");
    EXPECT_TRUE(mapped.ends_with("/c/Windows/win.ini")) << mapped;
    EXPECT_FALSE(platform::file_exists("C:\\Windows\\win.ini"));
}

TEST(HostPath, AbsoluteHostPathsBecomeZDrivePaths) {
    EXPECT_EQ(to_windows("/tmp/x"), "Z:\\tmp\\x");
    EXPECT_EQ(to_windows("/"), "Z:\\");
    EXPECT_EQ(to_windows("relative/x"), "relative\\x");
    EXPECT_EQ(platform::path_from_command_line("/tmp/a b/c"), "Z:\\tmp\\a b\\c");
    EXPECT_EQ(platform::path_from_command_line("out/new.dll"), "out\\new.dll");
}

TEST(HostPath, FindsExistingNamesOfAnotherLetterCase) {
    testing_support::scratch_folder folder;
    ASSERT_EQ(platform::create_directory((folder / "MixedCase").c_str()), platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(folder / "MixedCase\\File.TXT", {}));
    ASSERT_TRUE(testing_support::write_bytes(folder / "MixedCase\\both.txt", {}));
    const std::string root = to_host(folder.path().c_str());
    // Two names that differ only in case, as only a host can hold them.
    std::FILE* upper = std::fopen((root + "MixedCase/BOTH.txt").c_str(), "w");
    ASSERT_NE(upper, nullptr);
    std::fclose(upper);

    EXPECT_EQ(to_host((folder / "mixedcase\\file.txt").c_str()), root + "MixedCase/File.TXT");
    EXPECT_EQ(to_host((folder / "MIXEDCASE\\").c_str()), root + "MixedCase/");
    // A name that exists as written is taken as written.
    EXPECT_EQ(to_host((folder / "MixedCase\\BOTH.txt").c_str()), root + "MixedCase/BOTH.txt");
    EXPECT_EQ(to_host((folder / "MixedCase\\both.txt").c_str()), root + "MixedCase/both.txt");
    // A new name keeps its spelling, and so does all below a missing folder.
    EXPECT_EQ(to_host((folder / "mixedcase\\New.txt").c_str()), root + "MixedCase/New.txt");
    EXPECT_EQ(to_host((folder / "Missing\\file.txt").c_str()), root + "Missing/file.txt");
}

// A folder's names are looked up again after any change to it, by this
// process or another: entries made, renamed and removed after an earlier
// look-up, and the folder itself made anew.
TEST(HostPath, FollowsChangesToAFolderAlreadyLookedIn) {
    testing_support::scratch_folder folder;
    ASSERT_EQ(platform::create_directory((folder / "Sub").c_str()), platform::create_directory_result::created);
    const std::string root = to_host(folder.path().c_str());
    const std::string sub = root + "Sub/";
    EXPECT_EQ(to_host((folder / "sub\\new.dat").c_str()), sub + "new.dat");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(testing_support::write_bytes(folder / "Sub\\NEW.dat", {}));
        EXPECT_EQ(to_host((folder / "sub\\new.dat").c_str()), sub + "NEW.dat");
        ASSERT_EQ(std::rename((sub + "NEW.dat").c_str(), (sub + "Other.DAT").c_str()), 0);
        EXPECT_EQ(to_host((folder / "sub\\new.dat").c_str()), sub + "new.dat");
        EXPECT_EQ(to_host((folder / "sub\\other.dat").c_str()), sub + "Other.DAT");
        ASSERT_EQ(std::remove((sub + "Other.DAT").c_str()), 0);
        EXPECT_EQ(to_host((folder / "sub\\other.dat").c_str()), sub + "other.dat");
    }
    // The same path, another folder.
    ASSERT_TRUE(platform::remove_directory((folder / "Sub").c_str()));
    ASSERT_EQ(platform::create_directory((folder / "Sub").c_str()), platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(folder / "Sub\\Again.txt", {}));
    EXPECT_EQ(to_host((folder / "sub\\again.TXT").c_str()), sub + "Again.txt");
}

TEST(HostPath, TheTemporaryFolderFollowsTmpdir) {
    const struct {
        const char* tmpdir;  // nullptr: unset
        const char* temp_path;
    } cases[] = {
        {"/var/tmp", "Z:\\var\\tmp\\"},
        {"/var/tmp/", "Z:\\var\\tmp\\"},
        {nullptr, "Z:\\tmp\\"},
        {"", "Z:\\tmp\\"},
        {"relative/tmp", "Z:\\tmp\\"},
    };
    for (const auto& c : cases) {
        scoped_env tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(platform::temp_path(), c.temp_path) << (c.tmpdir ? c.tmpdir : "(unset)");
    }
}

}  // namespace

#endif
