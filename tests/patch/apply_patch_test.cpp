// apply_patch on files: what the instructions produce, the checksum, and
// every way a patch or its files can fail.
#include "patch/apply_patch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "patch/byte_sum.h"
#include "platform/files.h"
#include "run/tell.h"
#include "support/patch_writer.h"
#include "support/read_only.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <stdlib.h>

#include "platform/host/host_path.h"
#endif

namespace {

using testing_support::bytes;
using testing_support::concat;
using testing_support::patch_file;
using testing_support::put_block;
using testing_support::put_run;
using testing_support::run_form;
using testing_support::text_bytes;

const std::string unknown_error = "Pelora Updater: An Unknow Error Occured.";
const std::string checksum_error =
    "Pelora Updater: The patch was not applied successfully, because of a checksum error";

using patch::patch_result;

// The files of one entry of the file pass: the target, its expanded patch
// and the output beside the target.
struct entry_files {
    testing_support::scratch_folder folder;
    std::string old_path = folder / "Pelora9.dll";
    std::string patch_path = folder / "Pelora9.dll_";
    std::string output_path = folder / "Pelora9.dllTemp";
};

// What the engine reports, and what the run then tells: the message boxes
// and the patch error log.
struct outcome {
    patch_result result;
    std::vector<std::string> messages;
    std::optional<bytes> output;  // nothing when no output file exists
};

outcome apply_entry(const entry_files& files) {
    testing_support::message_recorder recorder;
    patch::file_record patch_record{files.patch_path}, old_record{files.old_path}, output_record{files.output_path};
    patch_result result = patch::apply_patch(&patch_record, &old_record, &output_record);
    run::tell_patch_result(nullptr, result, output_record.path);
    outcome out{result, recorder.messages(), std::nullopt};
    if (testing_support::exists(files.output_path)) out.output = testing_support::read_bytes(files.output_path);
    // Every handle is closed again: the files can be opened exclusively.
    for (const std::string* path : {&files.old_path, &files.patch_path, &files.output_path}) {
        if (!testing_support::exists(*path)) continue;
        platform::unique_file probe(
            platform::create_file(path->c_str(), platform::access::read, platform::disposition::open_existing));
        EXPECT_TRUE(probe.valid()) << *path << " is still open";
    }
    return out;
}

outcome apply_entry(const bytes& old_data, const bytes& patch) {
    entry_files files;
    EXPECT_TRUE(testing_support::write_bytes(files.old_path, old_data));
    EXPECT_TRUE(testing_support::write_bytes(files.patch_path, patch));
    outcome out = apply_entry(files);
    EXPECT_EQ(testing_support::read_bytes(files.old_path), old_data) << "the old file was changed";
    return out;
}

bytes digits() { return text_bytes("0123456789"); }

bytes slice(const bytes& data, std::size_t from, std::size_t n) {
    return bytes(data.begin() + static_cast<std::ptrdiff_t>(from),
                 data.begin() + static_cast<std::ptrdiff_t>(from + n));
}

struct valid_case {
    const char* name;
    bytes old_data;
    bytes body;
    bytes expected;
};

std::vector<valid_case> valid_cases() {
    bytes long_old(80000);
    for (std::size_t i = 0; i < long_old.size(); ++i) long_old[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    std::vector<valid_case> cases;
    auto add = [&](const char* name, const bytes& old_data, auto build, const bytes& expected) {
        bytes body;
        build(&body);
        cases.push_back({name, old_data, body, expected});
    };

    add("runs of count 0 replace one byte each and move the cursor by one", digits(),
        [](bytes* b) {
            for (char c : std::string("XYZ")) put_run(b, run_form::short_run, 0, static_cast<std::uint8_t>(c));
            put_run(b, run_form::short_run, 2, '!');
        },
        text_bytes("XYZ34!"));
    add("0x80 is a run of 0 and 0xFF a run of 127", long_old,
        [](bytes* b) {
            b->insert(b->end(), {0xFF, 'a', 0x80, 'b', 0xFF, 'c'});
        },
        concat({slice(long_old, 0, 127), text_bytes("ab"), slice(long_old, 129, 127), text_bytes("c")}));
    add("count 0 runs need no old data", {},
        [](bytes* b) {
            put_run(b, run_form::short_run, 0, 'a');
            put_run(b, run_form::u32, 0, 'b');
        },
        text_bytes("ab"));
    add("u8, u16 and u32 counts, little-endian", long_old,
        [](bytes* b) {
            put_run(b, run_form::u8, 200, 'a');
            put_run(b, run_form::u16, 0x1234, 'b');
            put_run(b, run_form::u32, 65536 + 3, 'c');
        },
        concat({slice(long_old, 0, 200), text_bytes("a"), slice(long_old, 201, 0x1234), text_bytes("b"),
                slice(long_old, 201 + 0x1234 + 1, 65539), text_bytes("c")}));
    add("a run may end exactly at the end of the old data", digits(),
        [](bytes* b) { put_run(b, run_form::u8, 10, '!'); }, text_bytes("0123456789!"));
    add("a block copies from anywhere, then writes its literals", digits(),
        [](bytes* b) {
            put_block(b, 6, 3, text_bytes("XY"), 1);
            put_run(b, run_form::short_run, 1, '!');
        },
        text_bytes("678XY1!"));
    add("a block may copy up to the last old byte", digits(),
        [](bytes* b) { put_block(b, 7, 3, {}, 0); }, text_bytes("789"));
    add("a block with copy 0 and literal 0 only repositions the cursor", digits(),
        [](bytes* b) {
            put_block(b, 0, 0, {}, 7);
            put_run(b, run_form::short_run, 2, 'x');
        },
        text_bytes("78x"));
    add("a backward cursor move copies old data again", digits(),
        [](bytes* b) {
            put_run(b, run_form::short_run, 4, 'a');
            put_block(b, 0, 0, {}, 2);
            put_run(b, run_form::short_run, 3, 'b');
        },
        text_bytes("0123a234b"));
    add("the literal of a run may be any byte, opcodes included", digits(),
        [](bytes* b) {
            put_run(b, run_form::short_run, 0, 0x00);
            put_run(b, run_form::short_run, 0, 0x01);
            put_run(b, run_form::short_run, 0, 0xFF);
        },
        bytes{0x00, 0x01, 0xFF});
    add("a block's literals may look like instructions", digits(),
        [](bytes* b) { put_block(b, 0, 1, bytes{0x00, 0x01, 0x02, 0x04, 0xFF}, 0); },
        bytes{'0', 0x00, 0x01, 0x02, 0x04, 0xFF});
    return cases;
}

TEST(ApplyPatch, BuildsTheNewFileFromTheInstructions) {
    for (const valid_case& c : valid_cases()) {
        SCOPED_TRACE(c.name);
        outcome out = apply_entry(c.old_data, patch_file(c.body, patch::byte_sum(c.expected)));
        EXPECT_EQ(out.result, patch_result::verified);
        EXPECT_TRUE(out.messages.empty());
        ASSERT_TRUE(out.output.has_value());
        EXPECT_EQ(*out.output, c.expected);
    }
}

// The patch in memory: the same result and the same output as the patch
// in a file, for every kind of patch, and the old file only read.
TEST(ApplyPatch, APatchInMemoryGivesWhatThePatchInAFileGives) {
    struct memory_case {
        std::string name;
        std::optional<bytes> old_data;  // nothing: the old file does not exist
        bytes patch;
    };
    std::vector<memory_case> cases;
    for (const valid_case& c : valid_cases()) {
        cases.push_back({c.name, c.old_data, patch_file(c.body, patch::byte_sum(c.expected))});
        cases.push_back({std::string(c.name) + ", wrong checksum", c.old_data,
                         patch_file(c.body, patch::byte_sum(c.expected) + 1)});
    }
    cases.push_back({"a patch of 4 bytes", digits(), patch_file({}, 0)});
    cases.push_back({"a patch of 3 bytes", digits(), bytes{0x81, 'a', 0x00}});
    cases.push_back({"an empty patch", digits(), bytes{}});
    cases.push_back({"a run past the old data", digits(), patch_file(bytes{0x8B, 'x'}, 0)});
    cases.push_back({"opcode 0x05", digits(), patch_file(bytes{0x05, 'a'}, 0)});
    cases.push_back({"no old file", std::nullopt, patch_file(bytes{0x81, 'x'}, patch::byte_sum(text_bytes("0x")))});
    for (const memory_case& c : cases) {
        SCOPED_TRACE(c.name);
        entry_files from_file, from_memory;
        for (const entry_files* files : {&from_file, &from_memory})
            if (c.old_data) {
                ASSERT_TRUE(testing_support::write_bytes(files->old_path, *c.old_data));
            }
        ASSERT_TRUE(testing_support::write_bytes(from_file.patch_path, c.patch));
        outcome expected = apply_entry(from_file);

        testing_support::message_recorder recorder;
        patch::file_record old_record{from_memory.old_path}, output_record{from_memory.output_path};
        EXPECT_EQ(patch::apply_patch(c.patch, &old_record, &output_record), expected.result);
        std::optional<bytes> output;
        if (testing_support::exists(from_memory.output_path))
            output = testing_support::read_bytes(from_memory.output_path);
        EXPECT_EQ(output, expected.output);
        if (c.old_data) {
            EXPECT_EQ(testing_support::read_bytes(from_memory.old_path), *c.old_data);
        }
        EXPECT_TRUE(recorder.messages().empty()) << "the engine itself shows nothing";
    }
}

TEST(ApplyPatch, ReplacesAnExistingOutputWholly) {
    entry_files files;
    ASSERT_TRUE(testing_support::write_bytes(files.old_path, digits()));
    ASSERT_TRUE(testing_support::write_bytes(files.output_path, bytes(5000, 'o')));
    bytes body;
    put_run(&body, run_form::short_run, 2, 'x');
    ASSERT_TRUE(testing_support::write_bytes(files.patch_path, patch_file(body, patch::byte_sum(text_bytes("01x")))));
    outcome out = apply_entry(files);
    EXPECT_EQ(out.result, patch_result::verified);
    EXPECT_EQ(out.output, text_bytes("01x"));
}

TEST(ApplyPatch, TheOldFileIsOnlyRead) {
    entry_files files;
    ASSERT_TRUE(testing_support::write_bytes(files.old_path, digits()));
    bytes body;
    put_run(&body, run_form::short_run, 9, '!');
    ASSERT_TRUE(testing_support::write_bytes(files.patch_path,
                                             patch_file(body, patch::byte_sum(text_bytes("012345678!")))));

    // Held open by another program: it cannot be read, nothing is written.
    {
        platform::unique_file holder(platform::create_file(files.old_path.c_str(), platform::access::read,
                                                           platform::disposition::open_existing));
        ASSERT_TRUE(holder.valid());
        testing_support::message_recorder recorder;
        patch::file_record patch_record{files.patch_path}, old_record{files.old_path}, output{files.output_path};
        patch_result result = patch::apply_patch(&patch_record, &old_record, &output);
        run::tell_patch_result(nullptr, result, output.path);
        EXPECT_EQ(result, patch_result::failed);
        EXPECT_EQ(recorder.messages(), std::vector<std::string>{unknown_error});
        EXPECT_FALSE(testing_support::exists(files.output_path));
    }
    // Read-only: patched all the same, since it is never opened for writing.
    ASSERT_TRUE(testing_support::make_read_only(files.old_path));
    outcome out = apply_entry(files);
    EXPECT_EQ(out.result, patch_result::verified);
    EXPECT_EQ(out.output, text_bytes("012345678!"));
    EXPECT_EQ(testing_support::read_bytes(files.old_path), digits());
}

TEST(ApplyPatch, AFourBytePatchMakesAnEmptyFileThatVerifiesOnlyWithChecksumZero) {
    outcome ok = apply_entry(digits(), patch_file({}, 0));
    EXPECT_EQ(ok.result, patch_result::verified);
    EXPECT_TRUE(ok.messages.empty());
    EXPECT_EQ(ok.output, bytes{});

    outcome wrong = apply_entry(digits(), patch_file({}, 1));
    EXPECT_EQ(wrong.result, patch_result::checksum_mismatch);
    EXPECT_EQ(wrong.messages, std::vector<std::string>{checksum_error});
    EXPECT_EQ(wrong.output, bytes{});
}

TEST(ApplyPatch, TheChecksumSumsSignedBytes) {
    bytes body;
    put_run(&body, run_form::short_run, 0, 0xFF);
    outcome signed_sum = apply_entry({}, patch_file(body, 0xFFFFFFFFu));
    EXPECT_EQ(signed_sum.result, patch_result::verified);
    EXPECT_EQ(signed_sum.output, bytes{0xFF});

    outcome unsigned_sum = apply_entry({}, patch_file(body, 0x000000FFu));
    EXPECT_EQ(unsigned_sum.result, patch_result::checksum_mismatch);
    EXPECT_EQ(unsigned_sum.messages, std::vector<std::string>{checksum_error});
}

TEST(ApplyPatch, AMismatchKeepsTheOutputBesideTheTargetAndLogsIt) {
    entry_files files;
    bytes body;
    put_run(&body, run_form::short_run, 3, 'X');
    const bytes made = text_bytes("012X");
    ASSERT_TRUE(testing_support::write_bytes(files.old_path, digits()));
    ASSERT_TRUE(testing_support::write_bytes(files.patch_path, patch_file(body, patch::byte_sum(made) + 1)));

#ifndef _WIN32
    // On the host, a temporary folder of this test's own: the machine's
    // /tmp is shared with every other run.
    struct private_tmpdir {
        std::optional<std::string> old;
        explicit private_tmpdir(const std::string& folder) {
            if (const char* value = getenv("TMPDIR")) old = value;
            setenv("TMPDIR", folder.c_str(), 1);
        }
        ~private_tmpdir() {
            if (old)
                setenv("TMPDIR", old->c_str(), 1);
            else
                unsetenv("TMPDIR");
        }
    } tmpdir(platform::host::to_host(files.folder.path().c_str()));
    ASSERT_EQ(platform::temp_path(), files.folder.path());
#endif
    const std::string log_path = platform::temp_path() + "RegLog.txt";
    const std::string line = "Error Patching File: " + files.output_path + "\r\n";
    for (int attempt = 1; attempt <= 2; ++attempt) {
        outcome out = apply_entry(files);
        EXPECT_EQ(out.result, patch_result::checksum_mismatch);
        EXPECT_EQ(out.messages, std::vector<std::string>{checksum_error});
        EXPECT_EQ(out.output, made) << "the complete but wrong output stays";
        EXPECT_EQ(testing_support::read_bytes(files.old_path), digits());
    }
    // One line for each failure, appended.
    bytes log = testing_support::read_bytes(log_path);
#ifndef _WIN32
    EXPECT_EQ(log, text_bytes(line + line));
#else
    // Shared with the other tests of this Wine prefix: the lines name
    // this test's own output.
    auto first = std::search(log.begin(), log.end(), line.begin(), line.end());
    ASSERT_NE(first, log.end()) << "no line for " << files.output_path << " in " << log_path;
    EXPECT_NE(std::search(first + 1, log.end(), line.begin(), line.end()), log.end()) << "the second line is missing";
#endif
}

TEST(ApplyPatch, MissingOrUnusableFilesFailBeforeAnyOutput) {
    bytes good_patch = patch_file(bytes{0x81, 'x'}, patch::byte_sum(text_bytes("0x")));
    struct failure_case {
        const char* name;
        std::optional<bytes> old_data, patch;  // nothing: the file does not exist
        bool output_folder_missing;
    };
    const failure_case cases[] = {
        {"old file missing", std::nullopt, good_patch, false},
        {"patch missing", digits(), std::nullopt, false},
        {"patch empty", digits(), bytes{}, false},
        {"output cannot be created", digits(), good_patch, true},
    };
    for (const failure_case& c : cases) {
        SCOPED_TRACE(c.name);
        entry_files files;
        if (c.old_data) {
            ASSERT_TRUE(testing_support::write_bytes(files.old_path, *c.old_data));
        }
        if (c.patch) {
            ASSERT_TRUE(testing_support::write_bytes(files.patch_path, *c.patch));
        }
        if (c.output_folder_missing) files.output_path = files.folder / "missing\\Pelora9.dllTemp";
        outcome out = apply_entry(files);
        EXPECT_EQ(out.result, patch_result::failed);
        EXPECT_EQ(out.messages, std::vector<std::string>{unknown_error});
        EXPECT_FALSE(out.output.has_value());
        if (c.old_data) {
            EXPECT_EQ(testing_support::read_bytes(files.old_path), *c.old_data);
        }
    }
}

// Patches that the release process never makes. Each is refused with the
// unknown-error message, and nothing is read or written outside the old
// data or the body (the sanitizer build checks that).
TEST(ApplyPatch, RefusesMalformedPatches) {
    struct malformed_case {
        const char* name;
        bytes patch;  // the whole patch file
    };
    auto body = [](auto build) {
        bytes b;
        build(&b);
        return patch_file(b, 0);
    };
    auto bytes_of = [](std::initializer_list<std::uint8_t> b) { return patch_file(bytes(b), 0); };
    auto block = [&](std::uint32_t source, std::uint32_t copy, std::uint32_t literal_field, bytes literals) {
        return body([&](bytes* b) { put_block(b, source, copy, literals, 0, literal_field); });
    };

    std::vector<malformed_case> cases = {
        {"opcode 0x03", bytes_of({0x03, 'a'})},
        {"opcode 0x05", bytes_of({0x05, 'a'})},
        {"opcode 0x7F", bytes_of({0x7F, 'a'})},
        {"opcode 0x03 after a valid run", bytes_of({0x82, 'a', 0x03, 'b'})},
        {"patch of 1 byte", bytes{0x00}},
        {"patch of 2 bytes", bytes{0x00, 0x00}},
        {"patch of 3 bytes", bytes{0x81, 'a', 0x00}},
        {"u32 count cut short", bytes_of({0x01, 0x01, 0x00, 0x00})},
        {"u16 count cut short", bytes_of({0x02, 0x01})},
        {"u8 count missing", bytes_of({0x04})},
        {"block header cut short", body([](bytes* b) {
             put_block(b, 0, 1, {}, 0);
             b->pop_back();
         })},
        {"lone block opcode", bytes_of({0x00})},
        {"short run without its literal", bytes_of({0x81})},
        {"u8 run without its literal", bytes_of({0x04, 0x01})},
        {"run one past the old data", bytes_of({0x8B, 'x'})},
        {"run of u32 0xFFFFFFFF", body([](bytes* b) { put_run(b, run_form::u32, 0xFFFFFFFFu, 'x'); })},
        {"run past the old data after a block moved the cursor", body([](bytes* b) {
             put_block(b, 0, 0, {}, 8);
             put_run(b, run_form::short_run, 3, 'x');
         })},
        {"run past the old data after runs moved the cursor", bytes_of({0x84, 'a', 0x84, 'b', 0x81, 'c'})},
        {"block copy one past the old data", block(8, 3, 0, {})},
        {"block source past the old data", block(11, 0, 0, {})},
        {"block source and copy that wrap in 32 bits", block(0xFFFFFFFFu, 2, 0, {})},
        {"block copy of 0xFFFFFFFF", block(0, 0xFFFFFFFFu, 0, {})},
        {"block literals past the body", block(0, 0, 5, text_bytes("abcd"))},
        {"block literal length 0xFFFFFFFF", block(0, 0, 0xFFFFFFFFu, text_bytes("abcd"))},
    };
    // The checksum is 0 throughout, so a patch that slipped through with
    // an empty output would pass: the bodies are never empty.
    for (const malformed_case& c : cases) {
        SCOPED_TRACE(c.name);
        outcome out = apply_entry(digits(), c.patch);
        EXPECT_EQ(out.result, patch_result::failed);
        EXPECT_EQ(out.messages, std::vector<std::string>{unknown_error});
    }
}

}  // namespace
