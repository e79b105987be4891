#include "package/manifest_check.h"

#include <array>
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using testing_support::scratch_folder;
using testing_support::text_bytes;
using testing_support::write_bytes;

const std::array<const char*, 3> sections = {"Core", "Filters", "Extras"};

// Two records split (temp2.cab, temp3.cab): two Core entries and a delete.
const std::string general = "[General]\r\nTotalFiles=3\r\n";
const std::string core =
    "[Core]\r\nNumFiles=2\r\nFile1Flag=1\r\nFile1Dest=Pelora9.exe\r\nFile1CAB=temp2.cab\r\n"
    "File2Flag=2\r\nFile2Dest=PLCore.dll\r\nFile2CAB=temp3.cab\r\n";
const std::string filters = "[Filters]\r\nNumFiles=1\r\nFile3Flag=3\r\nFile3Dest=OLD.FLT\r\n";

struct damaged_case {
    const char* name;
    std::string text;
    int records;
    const char* finding;  // the first one; "" for a manifest that holds together
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(ManifestCheck, DamagedManifestsAreNamedByTheirFirstFinding) {
    const std::string whole = general + core + filters;
    const std::string long_name(255, 'a');
    const damaged_case cases[] = {
        {"sound", whole, 2, ""},
        {"sound without payload", whole, package::any_records, ""},
        {"no TotalFiles", core + filters, 2, "its manifest has no TotalFiles"},
        {"TotalFiles zero", replaced(whole, "TotalFiles=3", "TotalFiles=0"), 2,
         "its manifest's TotalFiles is 0, not a count from 1 to 32766"},
        {"TotalFiles too many", replaced(whole, "TotalFiles=3", "TotalFiles=32767"), 2,
         "its manifest's TotalFiles is 32767, not a count from 1 to 32766"},
        {"TotalFiles not a number", replaced(whole, "TotalFiles=3", "TotalFiles=x3"), 2,
         "its manifest's TotalFiles is x3, not a count from 1 to 32766"},
        {"TotalFiles without sections", general, 2, "its sections' NumFiles add up to 0, but TotalFiles is 3"},
        {"NumFiles negative", replaced(whole, "NumFiles=2", "NumFiles=-3"), 2,
         "[Core] NumFiles is -3, not a count from 0 to 3"},
        {"NumFiles huge", replaced(whole, "NumFiles=2", "NumFiles=2000000000"), 2,
         "[Core] NumFiles is 2000000000, not a count from 0 to 3"},
        {"NumFiles lowered", replaced(whole, "NumFiles=2", "NumFiles=1"), 2,
         "its sections' NumFiles add up to 2, but TotalFiles is 3"},
        {"NumFiles raised", replaced(replaced(whole, "NumFiles=2", "NumFiles=3"), "TotalFiles=3", "TotalFiles=5"),
         2, "its sections' NumFiles add up to 4, but TotalFiles is 5"},
        {"flag missing", replaced(whole, "File2Flag=2\r\n", ""), 2, "[Core] entry 2 has no flag"},
        {"flag zero", replaced(whole, "File2Flag=2", "File2Flag=0"), 2, "[Core] entry 2 has flag 0, not one of 1 to 4"},
        {"flag seven", replaced(whole, "File2Flag=2", "File2Flag=7"), 2, "[Core] entry 2 has flag 7, not one of 1 to 4"},
        {"flag minus one", replaced(whole, "File3Flag=3", "File3Flag=-1"), 2,
         "[Filters] entry 3 has flag -1, not one of 1 to 4"},
        {"no destination", replaced(whole, "File3Dest=OLD.FLT\r\n", ""), 2, "[Filters] entry 3 has no destination"},
        {"destination too long", replaced(whole, "File1Dest=Pelora9.exe", "File1Dest=" + long_name), 2,
         "[Core] entry 1 has a destination longer than 254 characters"},
        {"no compressed file", replaced(whole, "File1CAB=temp2.cab\r\n", ""), 2,
         "[Core] entry 1 names no compressed file"},
        {"record not split", replaced(whole, "File2CAB=temp3.cab", "File2CAB=temp4.cab"), 2,
         "[Core] entry 2 names temp4.cab, which the package does not hold"},
        {"payload cut short", whole, 1, "[Core] entry 2 names temp3.cab, which the package does not hold"},
        {"manifest as record", replaced(whole, "File1CAB=temp2.cab", "File1CAB=temp1.cab"), 2,
         "[Core] entry 1 names temp1.cab, which the package does not hold"},
        {"other name", replaced(whole, "File1CAB=temp2.cab", "File1CAB=..\\x.cab"), package::any_records,
         "[Core] entry 1 names ..\\x.cab, which the package does not hold"},
        {"record used twice", replaced(whole, "File2CAB=temp3.cab", "File2CAB=TEMP2.CAB"), 2,
         "[Core] entry 2 names TEMP2.CAB, which an earlier entry already uses"},
    };
    scratch_folder folder;
    for (const damaged_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder / "temp1.cab";
        ASSERT_TRUE(write_bytes(path, text_bytes(c.text)));
        std::vector<std::string> found = package::check_manifest({path, folder.path()}, sections, c.records);
        if (*c.finding == '\0') {
            EXPECT_TRUE(found.empty()) << found.front();
        } else {
            ASSERT_FALSE(found.empty());
            EXPECT_EQ(found.front(), c.finding);
        }
    }
}

// Every damaged entry is reported, not just the first, for plpack to list.
TEST(ManifestCheck, EveryDamagedEntryIsReported) {
    scratch_folder folder;
    const std::string path = folder / "temp1.cab";
    std::string text = replaced(replaced(general + core + filters, "File1Flag=1", "File1Flag=9"), "File3Dest=OLD.FLT\r\n", "");
    ASSERT_TRUE(write_bytes(path, text_bytes(text)));
    std::vector<std::string> found = package::check_manifest({path, folder.path()}, sections, 2);
    EXPECT_EQ(found, (std::vector<std::string>{"[Core] entry 1 has flag 9, not one of 1 to 4",
                                               "[Filters] entry 3 has no destination"}));
    EXPECT_EQ(package::damaged_package_text(found.front()),
              "The update package is damaged: [Core] entry 1 has flag 9, not one of 1 to 4.");
}

}  // namespace
