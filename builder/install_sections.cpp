#include "builder/install_sections.h"

#include <algorithm>

#include "package/names.h"

namespace builder {

namespace {

// Every folder the file pass makes lies in a section folder of the app
// folder, so that it has a name relative to the app folder.
static_assert(std::ranges::all_of(install::folders_made_by_file_pass, [](const install::made_folder& made) {
    return install::layout[made.in].folder_name != nullptr;
}));

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

// A made folder's path relative to the app folder.
std::string app_folder_path(const install::made_folder& made) {
    std::string path = install::layout[made.in].folder_name;
    if (*made.subfolder != '\0') {
        path += '\\';
        path += made.subfolder;
    }
    return path;
}

}  // namespace

const char* section_folder_name(install::section wanted) {
    for (const install::section_layout& s : install::layout)
        if (s.id == wanted) return s.folder_name;
    return nullptr;
}

placement place_in_app_folder(std::string_view relative_path) {
    placement best{install::core_section, with_backslashes(relative_path)};
    std::size_t best_length = 0;
    for (const install::section_layout& s : install::layout) {
        if (s.folder_name == nullptr) continue;
        std::size_t length = leading_folder_length(relative_path, s.folder_name);
        if (length > best_length) {
            best_length = length;
            best = {s.id, with_backslashes(relative_path.substr(length + 1))};
        }
    }
    return best;
}

bool made_by_file_pass(std::string_view folder) {
    std::string path = with_backslashes(folder);
    for (const install::made_folder& made : install::folders_made_by_file_pass)
        if (package::names_equal(path, app_folder_path(made))) return true;
    return false;
}

}  // namespace builder
