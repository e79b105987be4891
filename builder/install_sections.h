// Which manifest section a file of an installation belongs to, and its
// name relative to that section's folder, as the updater's folder map
// places the sections: the app folder for Core, one folder directly inside
// it for each other section, and the dictionary folder for Dict.
#pragma once

#include <string>
#include <string_view>

#include "install/layout.h"

namespace builder {

struct placement {
    install::section section;
    std::string destination;  // relative to the section folder, backslash-separated
};

// The folder, relative to the app folder, of a section that has one there;
// nullptr for Core (the app folder itself) and Dict (a folder of its own).
const char* section_folder_name(install::section section);

// Where a file of the app folder lands: `relative_path` is its path below
// the app folder, with '\\' or '/' between names. The section whose folder
// is the longest leading part of the path (letter case aside) wins; every
// other file is a Core file, subfolders included.
placement place_in_app_folder(std::string_view relative_path);

// Whether the updater's file pass creates `folder` (relative to the app
// folder, backslash-separated, any letter case) before it applies the
// entries that need it. Entries for files in other folders work only when
// the folder is already installed.
bool made_by_file_pass(std::string_view folder);

}  // namespace builder
