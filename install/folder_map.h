// The install folder map: the folder that each manifest section's entries
// apply to, derived once per run from where the application is registered
// and where its dictionaries are.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "install/layout.h"
#include "install/locate_application.h"
#include "platform/resources.h"

namespace install {

// Capacity of a section folder, terminator included.
inline constexpr std::size_t folder_capacity = 1024;

// Set by build_folder_map and only read afterwards. No folder ends in a
// backslash, except a registered dictionary folder that has one; the Dict
// folder is empty when none is registered.
extern std::array<std::string, section_count> section_folders;

// The app folder: the "Core" section's folder, without a trailing backslash.
const std::string& app_folder();

// The folder of the section named `name` (any letter case); nullptr for a
// name that is no section.
const std::string* section_folder(std::string_view name);

// HKEY_CLASSES_ROOT subkeys tried for the open command, in order.
inline constexpr key_list folder_map_keys = {
    "Applications\\pelora9.exe\\shell\\open\\command",
    ".PLX\\shell\\open\\command",
    "Pelora.Drawing.9\\shell\\open\\command",
};
inline constexpr const char* dictionaries_key = "Software\\Ostrand\\Pelora 8\\Dictionaries";
inline constexpr const char* dictionaries_value = "Dict_Dir";

// Puts the shared run state into its starting condition (module instance,
// worker handle, quit flag, progress display) and derives every section
// folder. 1 when the application was found (quit flag 0); 0 when it was
// not, or when its folder leaves no room for the folder names (quit flag 1,
// every section folder empty). Shows no message of its own.
int build_folder_map(platform::module_handle instance);

}  // namespace install
