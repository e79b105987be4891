#include "package/work_folder.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "run/driver.h"
#include "run/tell.h"
#include "support/test_support.h"
#include "ui/progress.h"

namespace {

using testing_support::bytes;
using testing_support::read_bytes;
using testing_support::text_bytes;

using testing_support::concat;
bytes length_field(std::uint32_t n) { return testing_support::payload_length_field(n); }
bytes record(const bytes& content) { return testing_support::payload_record(content); }

using package::split_result;

// Writes the payload's records into `folder`, and tells what the run tells
// of the result; *written counts the records reported written.
split_result write_records(const bytes& payload, const std::string& folder, int* written) {
    split_result result = package::write_payload_records(
        payload.data(), static_cast<std::uint32_t>(payload.size()), folder, [written] { ++*written; });
    run::tell_split_result(result);
    return result;
}

struct payload_case {
    const char* name;
    bytes payload;
    split_result result;
    std::vector<bytes> files;  // temp2.cab upward, as they must be written
    std::vector<std::string> messages;
};

// Records numbered by their place: "record <i>" for the i-th, from 0.
std::vector<bytes> numbered_records(int count) {
    std::vector<bytes> contents;
    for (int i = 0; i < count; ++i) contents.push_back(text_bytes("record " + std::to_string(i)));
    return contents;
}

bytes payload_of(const std::vector<bytes>& contents) {
    bytes payload;
    for (const bytes& content : contents) payload = concat({payload, record(content)});
    return payload;
}

TEST(PayloadRecords, WritesEachRecordToItsNumberedFile) {
    const bytes big(70000, 0xA5);
    const std::vector<bytes> many = numbered_records(300);
    std::vector<bytes> many_cut = numbered_records(200);
    const payload_case cases[] = {
        {"empty payload", {}, split_result::written, {}, {}},
        {"one record of length 0", record({}), split_result::written, {bytes{}}, {}},
        {"several records", concat({record(text_bytes("SZDD first")), record({}), record(big)}),
         split_result::written,
         {text_bytes("SZDD first"), bytes{}, big}, {}},
        {"length field cut short", concat({record(text_bytes("ok")), bytes{5, 0}}), split_result::cut_short,
         {text_bytes("ok")},
         {"Pelora Patch: Error reading main File"}},
        {"content cut short", concat({record(text_bytes("ok")), bytes{10, 0, 0, 0, 'a', 'b'}}),
         split_result::cut_short, {text_bytes("ok")}, {"Pelora Patch: Error reading main File"}},
        // Lengths that wrap past 2^32 when added to the position: each
        // record is cut short, whatever follows it.
        {"length 0xFFFFFFFF in a middle record",
         concat({record(text_bytes("ok")), length_field(0xFFFFFFFFu), record(text_bytes("after"))}),
         split_result::cut_short, {text_bytes("ok")}, {"Pelora Patch: Error reading main File"}},
        {"length 0xFFFFFFFC in a middle record",
         concat({record(text_bytes("ok")), length_field(0xFFFFFFFCu), record(text_bytes("after"))}),
         split_result::cut_short, {text_bytes("ok")}, {"Pelora Patch: Error reading main File"}},
        {"length 0xFFFFFFFF in the last record, content after it",
         concat({record(text_bytes("ok")), length_field(0xFFFFFFFFu), text_bytes("wxyz")}),
         split_result::cut_short, {text_bytes("ok")}, {"Pelora Patch: Error reading main File"}},
        {"length 0xFFFFFFFC in the last record, content after it",
         concat({record(text_bytes("ok")), length_field(0xFFFFFFFCu), text_bytes("wxyz")}),
         split_result::cut_short, {text_bytes("ok")}, {"Pelora Patch: Error reading main File"}},
        {"length 0xFFFFFFFC in the first record, content after it",
         concat({length_field(0xFFFFFFFCu), text_bytes("wxyz")}), split_result::cut_short, {},
         {"Pelora Patch: Error reading main File"}},
        {"more records than are written at once", payload_of(many), split_result::written, many, {}},
        {"many records, the last cut short", concat({payload_of(many_cut), bytes{9, 0, 0, 0, 'x'}}),
         split_result::cut_short, many_cut, {"Pelora Patch: Error reading main File"}},
    };
    for (const payload_case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::scratch_folder folder;
        testing_support::message_recorder boxes;
        int written = 0;
        EXPECT_EQ(write_records(c.payload, folder.path(), &written), c.result);
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            std::string name = folder / ("temp" + std::to_string(i + 2) + ".cab");
            ASSERT_TRUE(testing_support::exists(name)) << name;
            EXPECT_EQ(read_bytes(name), c.files[i]) << name;
        }
        EXPECT_FALSE(testing_support::exists(folder / ("temp" + std::to_string(c.files.size() + 2) + ".cab")));
        EXPECT_EQ(written, static_cast<int>(c.files.size()));
        EXPECT_EQ(boxes.messages(), c.messages);
    }
}

// A name taken among many records: the records before it are written and
// reported, in order, and the split stops there.
TEST(PayloadRecords, StopsAtATakenNameAmongMany) {
    testing_support::scratch_folder folder;
    testing_support::message_recorder boxes;
    const std::vector<bytes> contents = numbered_records(300);
    ASSERT_TRUE(testing_support::write_bytes(folder / "temp150.cab", text_bytes("someone else's")));
    int written = 0;
    EXPECT_EQ(write_records(payload_of(contents), folder.path(), &written), split_result::cannot_create);
    EXPECT_EQ(written, 148) << "temp2.cab to temp149.cab";
    for (int k = 2; k < 150; ++k)
        EXPECT_EQ(read_bytes(folder / ("temp" + std::to_string(k) + ".cab")), contents[k - 2]) << k;
    EXPECT_EQ(read_bytes(folder / "temp150.cab"), text_bytes("someone else's"));
    EXPECT_EQ(boxes.messages(), std::vector<std::string>{"Pelora Patch: Error creating temp File"});
}

TEST(PayloadRecords, StopsAtAFileThatCannotBeCreated) {
    testing_support::scratch_folder folder;
    testing_support::message_recorder boxes;
    bytes payload = concat({record(text_bytes("a")), record(text_bytes("b"))});
    int written = 0;
    EXPECT_EQ(write_records(payload, folder / "missing-folder\\", &written), split_result::cannot_create);
    EXPECT_EQ(boxes.messages(), std::vector<std::string>{"Pelora Patch: Error creating temp File"});
}

// The test executable carries a package of its own (tests/data/split-package).
class UnpackPackage : public ::testing::Test {
protected:
    testing_support::scratch_folder temp;
    testing_support::temp_folder_override redirect{temp.path()};
    std::string work = temp.path() + "PLUpdate\\";
};

TEST_F(UnpackPackage, WritesStatusFileAndManifestAndSplitsThePayload) {
    std::optional<package::unpacked_package> unpacked = package::unpack_package(nullptr);
    ASSERT_TRUE(unpacked);
    EXPECT_EQ(unpacked->work_folder, work);
    EXPECT_EQ(read_bytes(work + "PLUpdate.ini"), read_bytes(testing_support::data_file("split-package\\status.ini")));
    EXPECT_EQ(read_bytes(work + "temp1.cab"), read_bytes(testing_support::data_file("split-package\\manifest.ini")));

    ui::progress_counters progress;
    ui::progress_display display;
    display.counters = &progress;
    progress.current_entry = 17;
    ASSERT_TRUE(run::split_with_progress(nullptr, *unpacked, &display));
    EXPECT_EQ(read_bytes(work + "temp2.cab"), text_bytes("first record"));
    EXPECT_TRUE(testing_support::exists(work + "temp3.cab"));
    EXPECT_EQ(read_bytes(work + "temp3.cab"), bytes{});
    EXPECT_EQ(read_bytes(work + "temp4.cab").size(), 300u);
    EXPECT_FALSE(testing_support::exists(work + "temp5.cab"));
    EXPECT_EQ(progress.current_entry, 0);
    EXPECT_EQ(progress.total_count, 252);
}

TEST_F(UnpackPackage, ReplacesALongerLeftoverWholly) {
    platform::create_directory(work.substr(0, work.size() - 1).c_str());
    bytes leftover(5000, 'x');
    ASSERT_TRUE(testing_support::write_bytes(work + "PLUpdate.ini", leftover));
    ASSERT_TRUE(testing_support::write_bytes(work + "temp1.cab", leftover));
    ASSERT_TRUE(package::unpack_package(nullptr));
    EXPECT_EQ(read_bytes(work + "PLUpdate.ini"), read_bytes(testing_support::data_file("split-package\\status.ini")));
    EXPECT_EQ(read_bytes(work + "temp1.cab"), read_bytes(testing_support::data_file("split-package\\manifest.ini")));
}

TEST(UnpackResource, FailsWithoutResourceOrDestination) {
    testing_support::scratch_folder folder;
    EXPECT_FALSE(package::unpack_resource(nullptr, nullptr, folder / "x.ini"));
    EXPECT_FALSE(testing_support::exists(folder / "x.ini"));
    EXPECT_FALSE(package::unpack_resource(nullptr, platform::find_data_resource(nullptr, 1000),
                                          folder / "no-such-folder\\x.ini"));
    EXPECT_EQ(platform::find_data_resource(nullptr, 999), nullptr);
}

TEST(SplitPayload, WithoutAPayloadResourceSaysSo) {
    testing_support::scratch_folder folder;
    testing_support::message_recorder boxes;
    split_result result = package::split_payload(nullptr, nullptr, folder.path(), {});
    run::tell_split_result(result);
    EXPECT_EQ(result, split_result::no_payload);
    EXPECT_EQ(boxes.messages(), std::vector<std::string>{"Pelora Patch: Error Opening main File"});
}

TEST(CleanWorkFolder, KeepsTheStatusFileAndFolders) {
    testing_support::scratch_folder folder;
    for (const char* name : {"pluPDATE.INI", "temp1.cab", "temp2.cab", "temp2.cab_", "other.txt"})
        ASSERT_TRUE(testing_support::write_bytes(folder / name, text_bytes(name)));
    ASSERT_EQ(platform::create_directory((folder / "sub").c_str()), platform::create_directory_result::created);
    ASSERT_TRUE(testing_support::write_bytes(folder / "sub\\inner.cab", text_bytes("inner")));

    package::clean_work_folder(folder.path());

    EXPECT_TRUE(testing_support::exists(folder / "pluPDATE.INI"));
    for (const char* name : {"temp1.cab", "temp2.cab", "temp2.cab_", "other.txt"})
        EXPECT_FALSE(testing_support::exists(folder / name)) << name;
    EXPECT_TRUE(testing_support::exists(folder / "sub\\inner.cab"));
}

}  // namespace
