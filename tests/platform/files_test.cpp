// The file layer's promises, checked on both builds: under Wine they are
// Win32's own behaviour, so the same tests hold the host's stand-ins to it.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "platform/durable.h"
#include "support/read_only.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;
using testing_support::exists;
using testing_support::read_bytes;
using testing_support::text_bytes;
using testing_support::write_bytes;

platform::file_handle open_file(const std::string& path, platform::access mode, platform::disposition how) {
    return platform::create_file(path.c_str(), mode, how);
}

bool write_text(platform::file_handle file, const std::string& text) {
    std::uint32_t done = 0;
    return platform::write_file(file, text.data(), static_cast<std::uint32_t>(text.size()), &done) &&
           done == text.size();
}

TEST(Files, AnOpenFileCannotBeOpenedAgain) {
    testing_support::scratch_folder folder;
    const std::string path = folder / "locked.bin";
    ASSERT_TRUE(write_bytes(path, text_bytes("content")));
    using platform::access;
    using platform::disposition;
    const struct {
        access first, second;
    } pairs[] = {{access::read, access::read}, {access::read, access::write}, {access::write, access::read}};
    for (const auto& pair : pairs) {
        platform::unique_file first(open_file(path, pair.first, disposition::open_existing));
        ASSERT_TRUE(first.valid());
        platform::unique_file second(open_file(path, pair.second, disposition::open_always));
        EXPECT_FALSE(second.valid());
        EXPECT_FALSE(platform::delete_file(path.c_str())) << "an open file cannot be deleted";
        first.reset();
        platform::unique_file third(open_file(path, pair.second, disposition::open_existing));
        EXPECT_TRUE(third.valid()) << "the file can be opened once it is closed";
    }
    EXPECT_EQ(read_bytes(path), text_bytes("content"));
}

TEST(Files, DispositionsCreateTruncateOrKeep) {
    testing_support::scratch_folder folder;
    const std::string path = folder / "log.txt";
    using platform::access;
    using platform::disposition;

    EXPECT_EQ(open_file(path, access::read, disposition::open_existing), platform::invalid_file);
    EXPECT_FALSE(exists(path)) << "open_existing creates nothing";
    {
        platform::unique_file file(open_file(path, access::write, disposition::open_always));
        ASSERT_TRUE(file.valid()) << "open_always creates a missing file";
        EXPECT_EQ(platform::get_file_size(file.get()), 0u);
        EXPECT_TRUE(write_text(file.get(), "first\r\n"));
    }
    {
        platform::unique_file file(open_file(path, access::write, disposition::open_always));
        ASSERT_TRUE(file.valid());
        EXPECT_EQ(platform::get_file_size(file.get()), 7u) << "open_always keeps the content";
        EXPECT_TRUE(platform::set_file_pointer(file.get(), 0, platform::seek_from::end));
        EXPECT_TRUE(write_text(file.get(), "second\r\n"));
    }
    EXPECT_EQ(read_bytes(path), text_bytes("first\r\nsecond\r\n"));
    {
        // Without the move to the end, writing starts over the first bytes.
        platform::unique_file file(open_file(path, access::write, disposition::open_always));
        EXPECT_TRUE(write_text(file.get(), "FIRST"));
    }
    EXPECT_EQ(read_bytes(path), text_bytes("FIRST\r\nsecond\r\n"));
    {
        platform::unique_file file(open_file(path, access::write, disposition::create_always));
        ASSERT_TRUE(file.valid());
        EXPECT_EQ(platform::get_file_size(file.get()), 0u) << "create_always truncates";
        EXPECT_TRUE(write_text(file.get(), "new"));
    }
    EXPECT_EQ(read_bytes(path), text_bytes("new"));
}

TEST(Files, ReadsStopAtTheEndAndSeekFromEitherEnd) {
    testing_support::scratch_folder folder;
    const std::string path = folder / "data.bin";
    ASSERT_TRUE(write_bytes(path, text_bytes("0123456789")));
    platform::unique_file file(open_file(path, platform::access::read, platform::disposition::open_existing));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(platform::get_file_size(file.get()), 10u);

    char buffer[32] = {};
    std::uint32_t done = 0;
    ASSERT_TRUE(platform::set_file_pointer(file.get(), -4, platform::seek_from::end));
    ASSERT_TRUE(platform::read_file(file.get(), buffer, sizeof buffer, &done));
    EXPECT_EQ(std::string(buffer, done), "6789");
    ASSERT_TRUE(platform::read_file(file.get(), buffer, sizeof buffer, &done));
    EXPECT_EQ(done, 0u) << "at the end a read succeeds with nothing";
    ASSERT_TRUE(platform::set_file_pointer(file.get(), 2, platform::seek_from::begin));
    ASSERT_TRUE(platform::set_file_pointer(file.get(), 3, platform::seek_from::current));
    ASSERT_TRUE(platform::read_file(file.get(), buffer, 2, &done));
    EXPECT_EQ(std::string(buffer, done), "56");
    EXPECT_FALSE(platform::set_file_pointer(file.get(), -11, platform::seek_from::end)) << "before the start";
}

// A size read from the attributes: any file, held open or not, in any
// letter case; nothing for a folder or a missing name.
TEST(Files, SizeFromTheAttributes) {
    testing_support::scratch_folder folder;
    const std::string empty = folder / "empty.dat", full = folder / "Full.dat", sub = folder / "sub";
    ASSERT_TRUE(write_bytes(empty, {}));
    ASSERT_TRUE(write_bytes(full, bytes(70000, 7)));
    ASSERT_EQ(platform::create_directory(sub.c_str()), platform::create_directory_result::created);
    platform::unique_file held(open_file(full, platform::access::read, platform::disposition::open_existing));
    ASSERT_TRUE(held.valid());
    const struct {
        std::string path;
        bool found;
        std::uint64_t size;
    } cases[] = {
        {empty, true, 0},
        {full, true, 70000},
        {folder / "FULL.DAT", true, 70000},
        {sub, false, 0},
        {folder / "missing.dat", false, 0},
        {folder / "missing\\file.dat", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::uint64_t size = 12345;
        EXPECT_EQ(platform::file_size_of(c.path.c_str(), &size), c.found);
        if (c.found) {
            EXPECT_EQ(size, c.size);
        }
    }
}

TEST(Files, AReadOnlyFileIsKeptUntilItsAttributesAreNormal) {
    testing_support::scratch_folder folder;
    const std::string path = folder / "readonly.dll";
    const std::string other = folder / "other.dll";
    ASSERT_TRUE(write_bytes(path, text_bytes("keep")));
    ASSERT_TRUE(write_bytes(other, text_bytes("other")));
    EXPECT_FALSE(platform::is_read_only(path.c_str()));
    ASSERT_TRUE(testing_support::make_read_only(path));
    EXPECT_TRUE(platform::is_read_only(path.c_str()));
    EXPECT_FALSE(platform::is_read_only(other.c_str()));

    EXPECT_FALSE(platform::delete_file(path.c_str()));
#ifndef _WIN32
    // Windows refuses these too, but Wine as it runs here (by root) lets
    // them through, so only the host's stand-ins are held to it.
    EXPECT_FALSE(platform::copy_file(other.c_str(), path.c_str(), false));
    {
        platform::unique_file file(open_file(path, platform::access::write, platform::disposition::open_existing));
        EXPECT_FALSE(file.valid());
    }
    EXPECT_FALSE(platform::replace_file(other.c_str(), path.c_str()));
#endif
    EXPECT_EQ(read_bytes(path), text_bytes("keep")) << "readable all the same";

    EXPECT_TRUE(platform::set_file_attributes_normal(path.c_str()));
    EXPECT_FALSE(platform::is_read_only(path.c_str()));
    EXPECT_TRUE(platform::delete_file(path.c_str()));
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(platform::is_read_only(path.c_str())) << "the file is gone";
    EXPECT_FALSE(platform::set_file_attributes_normal(path.c_str())) << "the file is gone";
}

TEST(Files, ReplaceMoveAndCopy) {
    testing_support::scratch_folder folder;
    const std::string a = folder / "a.dll", b = folder / "b.dll", c = folder / "c.dll";

    // replace_file puts the source in place of an existing file.
    ASSERT_TRUE(write_bytes(a, text_bytes("new version")));
    ASSERT_TRUE(write_bytes(b, text_bytes("old version, longer")));
    EXPECT_TRUE(platform::replace_file(a.c_str(), b.c_str()));
    EXPECT_FALSE(exists(a));
    EXPECT_EQ(read_bytes(b), text_bytes("new version"));
    // ... and moves onto a missing name too.
    EXPECT_TRUE(platform::replace_file(b.c_str(), c.c_str()));
    EXPECT_EQ(read_bytes(c), text_bytes("new version"));
    EXPECT_FALSE(platform::replace_file(b.c_str(), c.c_str())) << "no source";

    // Nor over a file that someone holds open.
    ASSERT_TRUE(write_bytes(a, text_bytes("a")));
    {
        platform::unique_file held(open_file(c, platform::access::read, platform::disposition::open_existing));
        EXPECT_FALSE(platform::replace_file(a.c_str(), c.c_str()));
    }
    EXPECT_EQ(read_bytes(c), text_bytes("new version"));

    // move_file never replaces.
    EXPECT_FALSE(platform::move_file(a.c_str(), c.c_str()));
    EXPECT_EQ(read_bytes(a), text_bytes("a"));
    EXPECT_EQ(read_bytes(c), text_bytes("new version"));
    EXPECT_TRUE(platform::move_file(a.c_str(), b.c_str()));
    EXPECT_FALSE(exists(a));
    EXPECT_EQ(read_bytes(b), text_bytes("a"));

    // copy_file keeps the source, and replaces only when allowed to.
    EXPECT_FALSE(platform::copy_file(b.c_str(), c.c_str(), true));
    EXPECT_EQ(read_bytes(c), text_bytes("new version"));
    EXPECT_TRUE(platform::copy_file(b.c_str(), c.c_str(), false));
    EXPECT_EQ(read_bytes(c), text_bytes("a"));
    EXPECT_EQ(read_bytes(b), text_bytes("a"));
    EXPECT_FALSE(platform::copy_file((folder / "missing").c_str(), a.c_str(), false));
    EXPECT_FALSE(exists(a));
}

// Each file's flush is told apart: one that cannot be flushed does not
// hide the others.
TEST(Files, FlushFilesTellsForEachFile) {
    testing_support::scratch_folder folder;
    const std::string a = folder / "a", b = folder / "b", missing = folder / "missing";
    ASSERT_TRUE(testing_support::write_bytes(a, testing_support::text_bytes("a")));
    ASSERT_TRUE(testing_support::write_bytes(b, testing_support::text_bytes("b")));
    EXPECT_EQ(platform::flush_files({a, missing, b}), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(platform::flush_files({}), std::vector<bool>{});
}

TEST(Files, DirectoriesAndExistence) {
    testing_support::scratch_folder folder;
    const std::string sub = folder / "Backup";
    EXPECT_EQ(platform::create_directory(sub.c_str()), platform::create_directory_result::created);
    EXPECT_EQ(platform::create_directory(sub.c_str()), platform::create_directory_result::already_exists);
    EXPECT_EQ(platform::create_directory((folder / "missing\\deeper").c_str()),
              platform::create_directory_result::failed);
    EXPECT_FALSE(platform::file_exists(sub.c_str())) << "a folder is not a file";

    ASSERT_TRUE(write_bytes(sub + "\\Log.txt", text_bytes("x")));
    EXPECT_TRUE(platform::file_exists((sub + "\\Log.txt").c_str()));
    EXPECT_FALSE(platform::remove_directory(sub.c_str())) << "the folder is not empty";
    EXPECT_TRUE(platform::delete_file((sub + "\\Log.txt").c_str()));
    EXPECT_FALSE(platform::delete_file((sub + "\\Log.txt").c_str())) << "already gone";
    EXPECT_TRUE(platform::remove_directory(sub.c_str()));
    EXPECT_FALSE(platform::file_exists((sub + "\\Log.txt").c_str()));
}

std::set<std::string> list(const std::string& pattern, std::set<std::string>* folders = nullptr) {
    std::set<std::string> names;
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file(pattern.c_str(), &entry);
    if (find == platform::invalid_find) return names;
    do {
        names.insert(entry.name);
        if (folders && entry.is_directory) folders->insert(entry.name);
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
    return names;
}

TEST(Files, FindListsEntriesLikeWindows) {
    testing_support::scratch_folder folder;
    for (const char* name : {"a.txt", "B.TXT", "noext", "c.bin", "x[1]@.dat", "x{1}`.dat"})
        ASSERT_TRUE(write_bytes(folder / name, {}));
    ASSERT_EQ(platform::create_directory((folder / "sub").c_str()), platform::create_directory_result::created);

    std::set<std::string> folders;
    EXPECT_EQ(list(folder / "*.*", &folders),
              (std::set<std::string>{".", "..", "a.txt", "B.TXT", "noext", "c.bin", "x[1]@.dat", "x{1}`.dat", "sub"}));
    EXPECT_EQ(folders, (std::set<std::string>{".", "..", "sub"}));
    EXPECT_EQ(list(folder / "*.txt"), (std::set<std::string>{"a.txt", "B.TXT"}));
    EXPECT_EQ(list(folder / "?.bin"), (std::set<std::string>{"c.bin"}));
    EXPECT_EQ(list(folder / "NOEXT"), (std::set<std::string>{"noext"}));
    // Letter case is ignored for letters only.
    EXPECT_EQ(list(folder / "X[1]@.*"), (std::set<std::string>{"x[1]@.dat"}));
    EXPECT_EQ(list(folder / "x{1}`.DAT"), (std::set<std::string>{"x{1}`.dat"}));

    platform::find_data entry;
    EXPECT_EQ(platform::find_first_file((folder / "*.none").c_str(), &entry), platform::invalid_find);
    EXPECT_EQ(platform::find_first_file((folder / "missing\\*.*").c_str(), &entry), platform::invalid_find);
}

TEST(Files, NamesAreFoundWithoutRegardToLetterCase) {
    testing_support::scratch_folder folder;
    ASSERT_EQ(platform::create_directory((folder / "Color Inks").c_str()), platform::create_directory_result::created);
    const std::string actual = folder / "Color Inks\\file.txt";
    ASSERT_TRUE(write_bytes(actual, text_bytes("content")));

    const std::string other_case = folder / "COLOR INKS\\FILE.TXT";
    EXPECT_TRUE(platform::file_exists(other_case.c_str()));
    EXPECT_EQ(read_bytes(other_case), text_bytes("content"));
    {
        // A write through another spelling changes the same file.
        platform::unique_file file(
            open_file(other_case, platform::access::write, platform::disposition::create_always));
        ASSERT_TRUE(file.valid());
        EXPECT_TRUE(write_text(file.get(), "changed"));
    }
    EXPECT_EQ(read_bytes(actual), text_bytes("changed"));
    EXPECT_EQ(list(folder / "Color Inks\\*.*"), (std::set<std::string>{".", "..", "file.txt"}));
    EXPECT_TRUE(platform::delete_file((folder / "color inks\\File.Txt").c_str()));
    EXPECT_FALSE(exists(actual));
}

TEST(Files, TheTemporaryFolderEndsWithABackslash) {
    std::string temp = platform::temp_path();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_NE(temp.find(':'), std::string::npos) << temp << " is not a full Windows path";
    // A file named by appending a bare name lands in it.
    const std::string path = temp + "pltest-temp-probe.txt";
    ASSERT_TRUE(write_bytes(path, text_bytes("x")));
    EXPECT_TRUE(platform::delete_file(path.c_str()));
}

TEST(Files, LocalTimeIsTheCalendarTime) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::time_t now = std::time(nullptr);
        std::tm expected = *std::localtime(&now);
        platform::local_time t = platform::get_local_time();
        if (t.second != expected.tm_sec) continue;  // a second passed in between
        EXPECT_EQ(t.year, expected.tm_year + 1900);
        EXPECT_EQ(t.month, expected.tm_mon + 1);
        EXPECT_EQ(t.day, expected.tm_mday);
        EXPECT_EQ(t.hour, expected.tm_hour);
        EXPECT_EQ(t.minute, expected.tm_min);
        return;
    }
    ADD_FAILURE() << "the local time never matched the C library's";
}

}  // namespace
