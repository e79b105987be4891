// The installation's layout, written once: the manifest's twelve sections
// in processing order, the folder each one applies to, the sections that
// run even without a folder, the folders the file pass makes, and the rule
// for names that must stay inside their folder. The updater's folder map
// and file pass read it, and so do the package builder and plpack.
//
// Below everything but the platform and the name comparison, so that
// every layer above may read it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace install {

// The manifest's sections, in the order the file pass takes them.
enum section : std::size_t {
    core_section,
    tools_section,
    user_section,
    filters_section,
    dict_section,
    extras_section,
    color_inks_section,
    plserver_section,
    data_section,
    wizards_section,
    psfonts_section,
    symbols_section,
    section_count,
};

struct section_layout {
    section id;
    // The manifest's section name ("[Core]").
    const char* manifest_name;
    // The section's folder inside the app folder; nullptr for Core (the app
    // folder itself) and Dict (the registered dictionary folder).
    const char* folder_name;
    // The string-table entry the folder map loads the folder's name from, so
    // that a translated string table renames the folder; 0 when the name is
    // used as written. Where it is not 0, folder_name is the table's text.
    unsigned folder_text_id;
    // Applied even when the section's folder is empty.
    bool always_runs;
};

inline constexpr std::array<section_layout, section_count> layout = {{
    {core_section, "Core", nullptr, 0, true},
    {tools_section, "Tools", "Pelora Tools", 0, true},
    {user_section, "User", "User", 0, false},
    {filters_section, "Filters", "Pelora Filters", 0, false},
    {dict_section, "Dict", nullptr, 0, false},
    {extras_section, "Extras", "Extras", 6, false},
    {color_inks_section, "Color Inks", "Color Inks", 4, false},
    {plserver_section, "PlServer", "PLServer", 0, false},
    {data_section, "Data", "DATA", 0, false},
    {wizards_section, "Wizards", "Wizards", 8, false},
    {psfonts_section, "PSFonts", "PSFonts", 0, false},
    {symbols_section, "Symbols", "Symbols", 0, false},
}};

// A folder the file pass makes before it applies a section's entries:
// `subfolder` inside the section's folder ("" for the folder itself),
// backslash-separated.
struct made_folder {
    section in;
    const char* subfolder;
};

// In the order the file pass makes them.
inline constexpr std::array<made_folder, 9> folders_made_by_file_pass = {{
    {data_section, ""},
    {data_section, "GIS DATA FILES"},
    {data_section, "GIS DATA FILES\\CSV"},
    {data_section, "GIS DATA FILES\\NADCON"},
    {data_section, "GIS DATA FILES\\NADCON\\win"},
    {psfonts_section, "cmaps"},
    {symbols_section, ""},
    {symbols_section, "Base Symbols"},
    {symbols_section, "GIS Symbols"},
}};

// The section whose manifest name is `name` (any letter case); nullptr for
// a name that is no section.
const section_layout* find_section(std::string_view manifest_name);

// Whether `name`, a destination or compressed-file name relative to some
// folder, stays inside it: not empty, not absolute (no drive, no leading
// separator) and without a component of two or more dots (blanks aside,
// which Windows trims), so nothing climbs out.
bool stays_inside(std::string_view name);

}  // namespace install
