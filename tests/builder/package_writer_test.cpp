#include "builder/package_writer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "formats/payload.h"
#include "package/manifest.h"
#include "package/work_folder.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;
using testing_support::scratch_folder;

struct read_back {
    int flag;
    std::string destination, cab;
};

// The manifest as the updater reads it: entries numbered across the
// sections in processing order whatever order they were given in, and
// compressed files numbered in entry order with deletions skipped.
TEST(ManifestText, TheUpdaterReadsEveryEntryBack) {
    const std::vector<builder::manifest_entry> entries = {
        {install::symbols_section, package::flag_replace, "Base Symbols\\Arrows.sym"},
        {install::core_section, package::flag_patch, "Pelora9.exe"},
        {install::dict_section, package::flag_delete, "fr_FR.dic"},
        {install::core_section, package::flag_delete, "Old.dll"},
        {install::core_section, package::flag_replace, "Help\\new.htm"},
        {install::color_inks_section, package::flag_patch, "INKS.PAL"},
    };
    scratch_folder work;
    std::string text = builder::manifest_text(entries);
    ASSERT_TRUE(testing_support::write_bytes(work / "temp1.cab", testing_support::text_bytes(text)));
    const package::manifest manifest{work / "temp1.cab", work.path()};

    EXPECT_EQ(manifest.total_entries(), 6);
    const int counts[install::section_count] = {3, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1};
    for (std::size_t s = 0; s < install::section_count; ++s)
        EXPECT_EQ(manifest.section_count(install::layout[s].manifest_name), counts[s])
            << install::layout[s].manifest_name;

    const struct {
        const char* section;
        read_back expected;
    } numbered[] = {
        {"Core", {package::flag_patch, "Pelora9.exe", "temp2.cab"}},
        {"Core", {package::flag_delete, "Old.dll", ""}},
        {"Core", {package::flag_replace, "Help\\new.htm", "temp3.cab"}},
        {"Dict", {package::flag_delete, "fr_FR.dic", ""}},
        {"Color Inks", {package::flag_patch, "INKS.PAL", "temp4.cab"}},
        {"Symbols", {package::flag_replace, "Base Symbols\\Arrows.sym", "temp5.cab"}},
    };
    int number = 1;
    for (const auto& n : numbered) {
        std::string destination, compressed;
        int flag = manifest.read_entry(n.section, number, &destination, &compressed);
        EXPECT_EQ(flag, n.expected.flag) << number;
        EXPECT_EQ(destination, n.expected.destination) << number;
        EXPECT_EQ(compressed, n.expected.cab.empty() ? "" : work / n.expected.cab) << number;
        ++number;
    }
    // Every line ends in CR LF, and every section is there.
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        EXPECT_EQ(text[at - 1], '\r') << "line break at " << at;
    EXPECT_NE(text.find("[PSFonts]\r\nNumFiles=0\r\n"), std::string::npos);
}

// The payload splits, with the updater's own loop, into the records given.
TEST(AppendPayloadRecord, TheUpdaterSplitsThePayloadIntoTheRecords) {
    const std::vector<bytes> records = {testing_support::random_bytes(1000, 3), {}, {'S', 'Z'}};
    bytes payload;
    for (const bytes& r : records) formats::append_payload_record(&payload, r);
    scratch_folder work;
    testing_support::message_recorder messages;
    ASSERT_EQ(package::write_payload_records(payload.data(), static_cast<std::uint32_t>(payload.size()), work.path(),
                                             {}),
              package::split_result::written);
    for (std::size_t k = 0; k < records.size(); ++k)
        EXPECT_EQ(testing_support::read_bytes(work / ("temp" + std::to_string(k + 2) + ".cab")), records[k]) << k;
    EXPECT_FALSE(testing_support::exists(work / "temp5.cab"));
    EXPECT_TRUE(messages.messages().empty());
}

TEST(DestinationProblem, NamesTheUpdaterOrWindowsCannotTake) {
    const std::string longest(254, 'a');
    for (const std::string& good : {std::string("a.dll"), std::string("Sub Folder\\File 1.txt"), longest,
                                    std::string("..a"), std::string("a..b\\c")})
        EXPECT_EQ(builder::destination_problem(good), std::nullopt) << good;
    for (const std::string& bad :
         {std::string(), longest + "b", std::string("..\\a"), std::string("a\\..\\b"), std::string("C:x"),
          std::string("\\a"), std::string("a\\\\b"), std::string("a?b"), std::string("a|b"), std::string("a\tb"),
          std::string("a.\\b"), std::string("a "), std::string("a/b")})
        EXPECT_NE(builder::destination_problem(bad), std::nullopt) << bad;
}

}  // namespace
