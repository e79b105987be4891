#include "package/manifest.h"

#include <gtest/gtest.h>

#include "install/layout.h"
#include "support/test_support.h"
#include "ui/strings.h"

namespace {

using testing_support::scratch_folder;
using testing_support::text_bytes;
using testing_support::write_bytes;

const char* const work_folder = "C:\\users\\me\\Temp\\PLUpdate\\";

package::manifest use_manifest(const std::string& path) { return {path, work_folder}; }

// The waiting message with the string table's text as its fallback, as the
// run reads it.
std::string waiting_message(const package::manifest& m) {
    return m.waiting_message(ui::load_text(nullptr, IDS_WAITING, package::waiting_message_capacity));
}

// Every entry of the package's manifest, read as the file pass reads them:
// sections in processing order, numbers running on from section to section.
TEST(Manifest, PackageEntriesInProcessingOrder) {
    const package::manifest m = use_manifest(testing_support::data_file("package_manifest.ini"));
    std::vector<std::string> seen;
    int number = 1, sum = 0;
    for (const install::section_layout& layout : install::layout) {
        const char* section = layout.manifest_name;
        int count = m.section_count(section);
        sum += count;
        for (int i = 0; i < count; ++i, ++number) {
            std::string destination = "(untouched)", compressed = "(untouched)";
            int flag = m.read_entry(section, number, &destination, &compressed);
            seen.push_back(std::string(section) + " " + std::to_string(number) + " " + std::to_string(flag) + " " +
                           destination + " " + compressed);
        }
    }
    const std::string w = work_folder;
    const std::vector<std::string> expected = {
        "Core 1 1 Pelora9.exe " + w + "temp2.cab",
        "Core 2 2 PLCore.dll " + w + "temp3.cab",
        "Core 3 4 Pelora.tlb " + w + "temp4.cab",
        "Filters 4 2 PNGIMP.FLT " + w + "temp5.cab",
        "Extras 5 3 engineer_valves.MCR (untouched)",
        "Extras 6 2 Macros\\Shapes.MCR " + w + "temp6.cab",
        "Color Inks 7 1 INKS.PAL " + w + "temp7.cab",
        "Wizards 8 2 WebWiz\\STARTPAG.TXT " + w + "temp8.cab",
        "Wizards 9 3 WebWiz\\OLDPAGE.TXT (untouched)",
        "Symbols 10 4 Arrows.sym " + w + "temp9.cab",
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(m.total_entries(), 10);
    EXPECT_EQ(sum, m.total_entries());
}

struct entry_case {
    const char* name;
    int number;
    int flag;
    std::string destination;  // "(untouched)" when left as it was
    std::string compressed;
};

TEST(Manifest, ReadEntryEdges) {
    const std::string long_text = std::string(250, 'd') + "WXYZ" + std::string(46, 'e');
    const std::string cut = long_text.substr(0, 254);
    scratch_folder folder;
    std::string manifest = folder / "temp1.cab";
    ASSERT_TRUE(write_bytes(manifest, text_bytes("[Core]\r\n"
                                                 "File1Flag=3\r\nFile1Dest=gone.dll\r\nFile1CAB=temp9.cab\r\n"
                                                 "File2Dest=nothing.dll\r\nFile2CAB=temp2.cab\r\n"
                                                 "File3Flag=0\r\nFile3Dest=zero.dll\r\nFile3CAB=temp3.cab\r\n"
                                                 "File4Flag=2\r\nFile4Dest=" +
                                                 long_text + "\r\nFile4CAB=" + long_text +
                                                 "\r\n"
                                                 "File5Flag=7\r\nFile5Dest=odd.dll\r\nFile5CAB=temp5.cab\r\n"
                                                 "File6Flag=1\r\nFile6Dest=Sub\\no_cab.dll\r\n")));
    const package::manifest m = use_manifest(manifest);
    const std::string w = work_folder;
    const entry_case cases[] = {
        {"delete leaves the compressed path", 1, 3, "gone.dll", "(untouched)"},
        {"missing flag", 2, 0, "(untouched)", "(untouched)"},
        {"flag 0", 3, 0, "(untouched)", "(untouched)"},
        {"texts cut to 254 characters", 4, 2, cut, w + cut},
        {"unknown flag still reads its texts", 5, 7, "odd.dll", w + "temp5.cab"},
        {"missing CAB key", 6, 1, "Sub\\no_cab.dll", w},
        {"missing entry", 7, 0, "(untouched)", "(untouched)"},
    };
    for (const entry_case& c : cases) {
        std::string destination = "(untouched)", compressed = "(untouched)";
        EXPECT_EQ(m.read_entry("Core", c.number, &destination, &compressed), c.flag) << c.name;
        EXPECT_EQ(destination, c.destination) << c.name;
        EXPECT_EQ(compressed, c.compressed) << c.name;
    }
}

TEST(Manifest, TotalsAndWaitingMessage) {
    scratch_folder folder;
    std::string manifest = folder / "temp1.cab";
    const package::manifest m = use_manifest(manifest);
    // No manifest at all: every default.
    EXPECT_EQ(m.total_entries(), -1);
    EXPECT_EQ(m.section_count("Core"), 0);
    EXPECT_EQ(waiting_message(m), "Waiting for Pelora to quit.");

    ASSERT_TRUE(write_bytes(manifest, text_bytes("[General]\r\nTotalFiles=257\r\n[Dict]\r\nNumFiles=4\r\n")));
    EXPECT_EQ(m.total_entries(), 257);
    EXPECT_EQ(m.section_count("Dict"), 4);
    EXPECT_EQ(m.section_count("Core"), 0);
    EXPECT_EQ(waiting_message(m), "Waiting for Pelora to quit.");

    const std::string message = std::string(250, 'm') + "ABCDEFGH";
    ASSERT_TRUE(write_bytes(manifest, text_bytes("[General]\r\nMessage=" + message + "\r\nTotalFiles=-2\r\n")));
    EXPECT_EQ(waiting_message(m), message.substr(0, 255));
    EXPECT_EQ(m.total_entries(), -2);
}

}  // namespace
