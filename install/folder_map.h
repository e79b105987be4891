// The install folder map: the folder that each manifest section's entries
// apply to, derived once per run from where the application is registered
// and where its dictionaries are.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "install/layout.h"
#include "install/locate_application.h"
#include "platform/resources.h"

namespace install {

// Capacity of a section folder, terminator included.
inline constexpr std::size_t folder_capacity = 1024;

// Every section's folder, in the order of install::layout. No folder ends
// in a backslash, except a registered dictionary folder that has one; the
// Dict folder is empty when none is registered.
struct folder_map {
    std::array<std::string, section_count> folders;

    // The app folder: the "Core" section's folder, without a trailing backslash.
    const std::string& app_folder() const { return folders[core_section]; }

    // The folder of the section named `name` (any letter case); nullptr for
    // a name that is no section.
    const std::string* section_folder(std::string_view name) const;
};

// HKEY_CLASSES_ROOT subkeys tried for the open command, in order.
inline constexpr key_list folder_map_keys = {
    "Applications\\pelora9.exe\\shell\\open\\command",
    ".PLX\\shell\\open\\command",
    "Pelora.Drawing.9\\shell\\open\\command",
};
inline constexpr const char* dictionaries_key = "Software\\Ostrand\\Pelora 8\\Dictionaries";
inline constexpr const char* dictionaries_value = "Dict_Dir";

// Derives every section folder from the registered open command (or the
// file the user picks) and the registered dictionary folder; the names of
// the folders that the string table names come from `instance`'s string
// table. Nothing when the application was not found, or when its folder
// leaves no room for the folder names. Shows no message of its own.
std::optional<folder_map> build_folder_map(platform::module_handle instance);

}  // namespace install
