#include "builder/install_sections.h"

#include <array>
#include <utility>

#include "package/names.h"
#include "ui/resource_ids.h"

namespace builder {

namespace {

using install::section;

// The section folders below the app folder, as the folder map forms them.
constexpr std::array<std::pair<section, const char*>, 10> section_folders = {{
    {install::tools_section, "Pelora Tools"},
    {install::user_section, "User"},
    {install::filters_section, "Pelora Filters"},
    {install::extras_section, TXT_EXTRAS},
    {install::color_inks_section, TXT_COLOR_INKS},
    {install::plserver_section, "PLServer"},
    {install::data_section, "DATA"},
    {install::wizards_section, TXT_WIZARDS},
    {install::psfonts_section, "PSFonts"},
    {install::symbols_section, "Symbols"},
}};

// The folders the file pass creates, in the order it creates them.
constexpr std::array<const char*, 9> created_folders = {
    "DATA",
    "DATA\\GIS DATA FILES",
    "DATA\\GIS DATA FILES\\CSV",
    "DATA\\GIS DATA FILES\\NADCON",
    "DATA\\GIS DATA FILES\\NADCON\\win",
    "PSFonts\\cmaps",
    "Symbols",
    "Symbols\\Base Symbols",
    "Symbols\\GIS Symbols",
};

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::string with_backslashes(std::string_view path) {
    std::string result(path);
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

// The length of `folder` as a leading part of `path` that ends at a name
// boundary followed by more of the path; 0 when it is not one.
std::size_t leading_folder_length(std::string_view path, std::string_view folder) {
    if (path.size() <= folder.size() + 1) return 0;
    if (!package::names_equal(path.substr(0, folder.size()), folder)) return 0;
    return is_separator(path[folder.size()]) ? folder.size() : 0;
}

}  // namespace

const char* section_folder_name(install::section wanted) {
    for (const auto& [s, folder] : section_folders)
        if (s == wanted) return folder;
    return nullptr;
}

placement place_in_app_folder(std::string_view relative_path) {
    placement best{install::core_section, with_backslashes(relative_path)};
    std::size_t best_length = 0;
    for (const auto& [s, folder] : section_folders) {
        std::size_t length = leading_folder_length(relative_path, folder);
        if (length > best_length) {
            best_length = length;
            best = {s, with_backslashes(relative_path.substr(length + 1))};
        }
    }
    return best;
}

bool made_by_file_pass(std::string_view folder) {
    std::string path = with_backslashes(folder);
    for (const char* created : created_folders)
        if (package::names_equal(path, created)) return true;
    return false;
}

}  // namespace builder
