// The installation layout: its names against the string table the folder
// map loads some of them from, and the rule for names that stay inside
// their folder.
#include "install/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/strings.h"

namespace {

// A folder name the folder map loads from the string table must be the
// table's text, or the builder would place files where the updater does
// not look for them.
TEST(Layout, FolderNamesFromTheStringTableAreItsTexts) {
    int loaded = 0;
    for (const install::section_layout& section : install::layout) {
        if (section.folder_text_id == 0) continue;
        ++loaded;
        ASSERT_NE(section.folder_name, nullptr) << section.manifest_name;
        EXPECT_EQ(ui::load_text(nullptr, section.folder_text_id), section.folder_name) << section.manifest_name;
    }
    EXPECT_EQ(loaded, 3) << "Extras, Color Inks and Wizards come from the string table";
    EXPECT_EQ(install::layout[install::extras_section].folder_text_id, unsigned{IDS_EXTRAS});
    EXPECT_EQ(install::layout[install::color_inks_section].folder_text_id, unsigned{IDS_COLOR_INKS});
    EXPECT_EQ(install::layout[install::wizards_section].folder_text_id, unsigned{IDS_WIZARDS});
}

// The folder map and the file pass index their folders by a row's id: the
// rows must stand in section order, and each name must find its own row
// whatever its letter case.
TEST(Layout, EachRowStandsAtItsSectionAndIsFoundByName) {
    for (std::size_t i = 0; i < install::layout.size(); ++i) {
        const install::section_layout& section = install::layout[i];
        EXPECT_EQ(section.id, i) << section.manifest_name;
        EXPECT_EQ(install::find_section(section.manifest_name), &section);
    }
    EXPECT_EQ(install::find_section("COLOR INKS"), &install::layout[install::color_inks_section]);
    EXPECT_EQ(install::find_section("plserver"), &install::layout[install::plserver_section]);
    EXPECT_EQ(install::find_section("Backup"), nullptr);
    EXPECT_EQ(install::find_section(""), nullptr);
}

TEST(Layout, NamesThatLeaveTheirFolderAreRefused) {
    struct name_case {
        const char* name;
        bool inside;
    };
    const name_case cases[] = {
        {"Pelora9.exe", true},
        {"WebWiz\\STARTPAG.TXT", true},
        {"GIS DATA FILES/CSV/datums.csv", true},
        {"a..b\\..c\\d..", true},
        {".hidden", true},
        {".\\same.txt", true},
        {"", false},
        {"..", false},
        {"..\\Pelora9.exe", false},
        {"../Pelora9.exe", false},
        {"sub\\..\\..\\Pelora9.exe", false},
        {"sub/../Pelora9.exe", false},
        {"sub\\..", false},
        {"...\\x", false},
        {".. \\x", false},
        {"\\Windows\\win.ini", false},
        {"/etc/passwd", false},
        {"C:\\Windows\\win.ini", false},
        {"c:win.ini", false},
        {"\\\\server\\share\\x", false},
    };
    for (const name_case& c : cases) EXPECT_EQ(install::stays_inside(c.name), c.inside) << c.name;
}

}  // namespace
