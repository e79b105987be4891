// expand on files: compressor output and hand-made files expand to their
// originals (through Wine's own LZ library on the Windows build), and
// every failure leaves the source and no incomplete destination.
#include "patch/expand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patch/szdd_fixtures.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;
using testing_support::data_file;
using testing_support::exists;
using testing_support::read_bytes;
using testing_support::write_bytes;

struct work_files {
    testing_support::scratch_folder folder;
    std::string source = folder / "temp2.cab";
    std::string destination = folder / "Pelora9.exe";
};

patch::expand_result expand_files(const work_files& files) {
    return patch::expand(files.source.c_str(), files.destination.c_str());
}

TEST(Expand, CompressorOutputExpandsToTheOriginal) {
    for (const std::string& name : szdd_fixtures::compressed_fixtures()) {
        SCOPED_TRACE(name);
        bytes original = read_bytes(data_file(name));
        ASSERT_FALSE(original.empty());
        work_files files;
        ASSERT_TRUE(platform::copy_file(data_file(name + "_").c_str(), files.source.c_str(), false));
        EXPECT_EQ(expand_files(files), patch::expand_result::ok);
        EXPECT_EQ(read_bytes(files.destination), original);
        EXPECT_FALSE(exists(files.source)) << "the source is deleted after success";
    }
}

TEST(Expand, HandMadeFilesExpandAsTheFormatSays) {
    for (const szdd_fixtures::hand_made& c : szdd_fixtures::hand_made_files()) {
        SCOPED_TRACE(c.name);
        work_files files;
        ASSERT_TRUE(write_bytes(files.source, c.compressed));
        EXPECT_EQ(expand_files(files), patch::expand_result::ok);
        EXPECT_TRUE(exists(files.destination));
        EXPECT_EQ(read_bytes(files.destination), c.expanded);
        EXPECT_FALSE(exists(files.source));
    }
}

TEST(Expand, DataBeyondTheExpandedLengthIsIgnored) {
    bytes compressed = read_bytes(data_file("szdd_text_32000.txt_"));
    // Eight more literals, then matches, after the end of the real data.
    compressed.insert(compressed.end(), {0xFF, 'j', 'u', 'n', 'k', 'j', 'u', 'n', 'k', 0x00, 0x10, 0x0F, 0x20, 0x0F});
    work_files files;
    ASSERT_TRUE(write_bytes(files.source, compressed));
    EXPECT_EQ(expand_files(files), patch::expand_result::ok);
    EXPECT_EQ(read_bytes(files.destination), read_bytes(data_file("szdd_text_32000.txt")));
}

TEST(Expand, ReplacesALongerDestinationWholly) {
    work_files files;
    ASSERT_TRUE(write_bytes(files.destination, bytes(100000, 'z')));
    ASSERT_TRUE(platform::copy_file(data_file("szdd_random_17.bin_").c_str(), files.source.c_str(), false));
    EXPECT_EQ(expand_files(files), patch::expand_result::ok);
    EXPECT_EQ(read_bytes(files.destination), read_bytes(data_file("szdd_random_17.bin")));
}

// Files that are not complete SZDD mode 'A' data: result 3, the source
// stays for the caller, and no partial destination is left.
TEST(Expand, RefusesTruncatedOrForeignData) {
    bytes full = read_bytes(data_file("szdd_mixed_64000.bin_"));
    ASSERT_GT(full.size(), 100u);
    bytes sixteen_of_seventeen = szdd_fixtures::szdd_file(17, {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
    struct bad_case {
        const char* name;
        bytes source;
    };
    const bad_case cases[] = {
        {"compressor output cut short", bytes(full.begin(), full.end() - 8)},
        {"cut after its first half", bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(full.size() / 2))},
        {"one byte short of the expanded length", sixteen_of_seventeen},
        {"a header and no data", szdd_fixtures::szdd_file(100, {})},
        {"a plain file", testing_support::text_bytes("not compressed at all, just some text")},
        {"mode B", szdd_fixtures::szdd_file(1, {0x01, 'x'}, 'B')},
        {"shorter than a header", testing_support::text_bytes("SZDD")},
        {"empty", {}},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.name);
        work_files files;
        ASSERT_TRUE(write_bytes(files.source, c.source));
        ASSERT_TRUE(write_bytes(files.destination, testing_support::text_bytes("old content")));
        EXPECT_EQ(expand_files(files), patch::expand_result::bad_data);
        EXPECT_FALSE(exists(files.destination)) << "the incomplete destination is removed";
        EXPECT_EQ(read_bytes(files.source), c.source) << "the source stays";
    }
}

TEST(Expand, ASourceThatCannotBeOpenedLeavesAnEmptyDestination) {
    {
        work_files files;
        EXPECT_EQ(expand_files(files), patch::expand_result::cannot_open_source);
        EXPECT_TRUE(exists(files.destination));
        EXPECT_EQ(read_bytes(files.destination), bytes{});
    }
    {
        // In use by another program: opened without sharing, it cannot be
        // opened again.
        work_files files;
        const bytes compressed = read_bytes(data_file("szdd_random_17.bin_"));
        ASSERT_TRUE(write_bytes(files.source, compressed));
        {
            platform::unique_file holder(platform::create_file(files.source.c_str(), platform::access::read,
                                                               platform::disposition::open_existing));
            ASSERT_TRUE(holder.valid());
            EXPECT_EQ(expand_files(files), patch::expand_result::cannot_open_source);
        }
        EXPECT_EQ(read_bytes(files.source), compressed);
        EXPECT_EQ(read_bytes(files.destination), bytes{});
    }
}

TEST(Expand, ADestinationThatCannotBeCreatedKeepsTheSource) {
    work_files files;
    const bytes compressed = read_bytes(data_file("szdd_random_17.bin_"));
    ASSERT_TRUE(write_bytes(files.source, compressed));
    std::string destination = files.folder / "missing\\Pelora9.exe";
    EXPECT_EQ(patch::expand(files.source.c_str(), destination.c_str()), patch::expand_result::cannot_open_destination);
    EXPECT_EQ(read_bytes(files.source), compressed);
    EXPECT_FALSE(exists(destination));
}

// Into memory: the bytes a file would get, the source deleted only on
// success, and nothing at all on failure.
TEST(Expand, IntoMemoryGivesTheBytesAFileWouldGet) {
    struct memory_case {
        std::string name;
        std::optional<bytes> source;  // nothing: no source file
        patch::expand_result result;
        bytes expanded;
    };
    std::vector<memory_case> cases;
    for (const std::string& name : szdd_fixtures::compressed_fixtures())
        cases.push_back({name, read_bytes(data_file(name + "_")), patch::expand_result::ok,
                         read_bytes(data_file(name))});
    for (const szdd_fixtures::hand_made& c : szdd_fixtures::hand_made_files())
        cases.push_back({c.name, c.compressed, patch::expand_result::ok, c.expanded});
    bytes full = read_bytes(data_file("szdd_mixed_64000.bin_"));
    cases.push_back({"cut short", bytes(full.begin(), full.end() - 8), patch::expand_result::bad_data, {}});
    cases.push_back({"a plain file", testing_support::text_bytes("not compressed"), patch::expand_result::bad_data, {}});
    cases.push_back({"no source", std::nullopt, patch::expand_result::cannot_open_source, {}});
    for (const memory_case& c : cases) {
        SCOPED_TRACE(c.name);
        work_files files;
        if (c.source) {
            ASSERT_TRUE(write_bytes(files.source, *c.source));
        }
        std::vector<std::uint8_t> expanded = {1, 2, 3};
        EXPECT_EQ(patch::expand_to_memory(files.source.c_str(), &expanded), c.result);
        EXPECT_EQ(expanded, c.expanded);
        if (c.result == patch::expand_result::ok) {
            EXPECT_FALSE(exists(files.source)) << "the source is deleted after success";
        } else if (c.source) {
            EXPECT_EQ(read_bytes(files.source), *c.source) << "the source stays";
        }
        EXPECT_FALSE(exists(files.source + "_")) << "no expanded file is written beside the source";
    }
}

}  // namespace
