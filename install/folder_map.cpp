#include "install/folder_map.h"

#include <algorithm>
#include <vector>

#include "package/names.h"
#include "platform/resources.h"

namespace install {

namespace {

// The registered dictionary folder, HKEY_LOCAL_MACHINE before
// HKEY_CURRENT_USER, taken as it is; empty when neither has one.
std::string dictionary_folder() {
    char value[folder_capacity];
    using platform::registry_root;
    for (registry_root root : {registry_root::local_machine, registry_root::current_user}) {
        std::uint32_t length = folder_capacity;
        if (read_registry_value(root, dictionaries_key, dictionaries_value, value, &length))
            return registry_text(value, length);
    }
    return {};
}

// A folder name of the layout, from the string table when it names one.
std::string folder_name(platform::module_handle instance, const section_layout& section) {
    if (section.folder_text_id == 0) return section.folder_name;
    std::vector<char> text(folder_capacity, '\0');
    int length =
        platform::load_string(instance, section.folder_text_id, text.data(), static_cast<int>(folder_capacity));
    return std::string(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Every section folder from the open command's folder F (ending in a
// backslash). False when a folder would not fit its capacity.
bool derive_folders(platform::module_handle instance, const std::string& f,
                    std::array<std::string, section_count>* folders) {
    std::array<std::string, section_count>& to = *folders;
    // The app folder is the User folder's parent: the text before the
    // backslash that precedes its last name. For an application directly
    // in a drive root that is the drive ("C:"), so every join below gives
    // one backslash ("C:\DATA").
    const std::string user = f + layout[user_section].folder_name;
    std::size_t end = user.size() - 1;
    if (user[end] == '\\' && end > 0) --end;
    std::size_t cut = user.rfind('\\', end);
    const std::string a = user.substr(0, cut);

    for (const section_layout& section : layout) {
        if (section.id == core_section)
            to[section.id] = a;
        else if (section.id == dict_section)
            to[section.id] = dictionary_folder();
        else
            to[section.id] = a + "\\" + folder_name(instance, section);
    }

    for (const std::string& folder : to)
        if (folder.size() >= folder_capacity) return false;
    return true;
}

}  // namespace

const std::string* folder_map::section_folder(std::string_view name) const {
    const section_layout* section = find_section(name);
    return section ? &folders[section->id] : nullptr;
}

std::optional<folder_map> build_folder_map(platform::module_handle instance) {
    std::string command, f;
    folder_map map;
    if (!look_up_application(folder_map_keys, &command) || !folder_of_command(command, &f) ||
        !derive_folders(instance, f, &map.folders))
        return std::nullopt;
    return map;
}

}  // namespace install
