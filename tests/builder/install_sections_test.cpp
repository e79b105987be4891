#include "builder/install_sections.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct placement_case {
    const char* path;
    install::section section;
    const char* destination;
};

// Files of the app folder land in the section whose folder holds them,
// whatever the letter case of the folder's name; anything else is Core.
TEST(PlaceInAppFolder, SectionAndDestinationOfEachFile) {
    const placement_case cases[] = {
        {"Pelora9.exe", install::core_section, "Pelora9.exe"},
        {"Help/index.htm", install::core_section, "Help\\index.htm"},
        {"Pelora Tools/Trace.dll", install::tools_section, "Trace.dll"},
        {"pelora tools\\Sub/Deep.dll", install::tools_section, "Sub\\Deep.dll"},
        {"USER/Prefs.ini", install::user_section, "Prefs.ini"},
        {"Pelora Filters/PNGIMP.FLT", install::filters_section, "PNGIMP.FLT"},
        {"Extras/Macros/Shapes.MCR", install::extras_section, "Macros\\Shapes.MCR"},
        {"Color Inks/INKS.PAL", install::color_inks_section, "INKS.PAL"},
        {"plserver/server.cfg", install::plserver_section, "server.cfg"},
        {"Data/GIS DATA FILES/CSV/zones.csv", install::data_section, "GIS DATA FILES\\CSV\\zones.csv"},
        {"Wizards/WebWiz/STARTPAG.TXT", install::wizards_section, "WebWiz\\STARTPAG.TXT"},
        {"PSFonts/cmaps/UniJIS", install::psfonts_section, "cmaps\\UniJIS"},
        {"SYMBOLS/Base Symbols/Arrows.sym", install::symbols_section, "Base Symbols\\Arrows.sym"},
        // Names that only begin like a section folder, and a file named
        // like one, are Core files.
        {"Pelora Tools2/x.dll", install::core_section, "Pelora Tools2\\x.dll"},
        {"User", install::core_section, "User"},
        {"Pelora/Tools/x.dll", install::core_section, "Pelora\\Tools\\x.dll"},
        {"Backup/Pelora9.exe", install::core_section, "Backup\\Pelora9.exe"},
    };
    for (const placement_case& c : cases) {
        builder::placement p = builder::place_in_app_folder(c.path);
        EXPECT_EQ(p.section, c.section) << c.path;
        EXPECT_EQ(p.destination, c.destination) << c.path;
    }
}

// The folders the file pass makes before the Data, PSFonts and Symbols
// entries, and no others: a new file elsewhere needs its folder installed.
TEST(MadeByFilePass, OnlyTheFoldersTheFilePassCreates) {
    for (const char* folder : {"DATA", "data", "Data\\GIS DATA FILES\\NADCON\\win", "PSFonts\\cmaps", "Symbols",
                               "symbols/gis symbols", "Symbols\\Base Symbols"})
        EXPECT_TRUE(builder::made_by_file_pass(folder)) << folder;
    for (const char* folder : {"", "PSFonts", "Pelora Tools", "DATA\\Other", "Symbols\\Base Symbols\\More", "Help",
                               "Data\\GIS DATA FILES\\NADCON\\win\\x"})
        EXPECT_FALSE(builder::made_by_file_pass(folder)) << folder;
}

}  // namespace
