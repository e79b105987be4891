#include "install/folder_map.h"

#include <algorithm>

#include "package/names.h"
#include "run/run_state.h"
#include "ui/progress.h"
#include "ui/strings.h"

namespace install {

std::array<std::string, section_count> section_folders;

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

// Every section folder from the open command's folder F (ending in a
// backslash). False when a folder would not fit its capacity.
bool derive_folders(const std::string& f, std::array<std::string, section_count>* folders) {
    std::array<std::string, section_count>& to = *folders;
    to[tools_section] = f + "Pelora Tools";
    to[user_section] = f + "User";
    to[filters_section] = f + "Pelora Filters";
    to[dict_section] = dictionary_folder();

    // The app folder is the User folder's parent: the text before the
    // backslash that precedes its last name. For an application directly
    // in a drive root that is the drive ("C:"), so every join below gives
    // one backslash ("C:\DATA").
    const std::string& user = to[user_section];
    std::size_t end = user.size() - 1;
    if (user[end] == '\\' && end > 0) --end;
    std::size_t cut = user.rfind('\\', end);
    const std::string a = user.substr(0, cut);
    to[core_section] = a;

    to[data_section] = a + "\\DATA";
    to[extras_section] = a + "\\" + ui::load_text(IDS_EXTRAS, folder_capacity);
    to[color_inks_section] = a + "\\" + ui::load_text(IDS_COLOR_INKS, folder_capacity);
    to[wizards_section] = a + "\\" + ui::load_text(IDS_WIZARDS, folder_capacity);
    to[psfonts_section] = a + "\\PSFonts";
    to[symbols_section] = a + "\\Symbols";
    to[plserver_section] = a + "\\PLServer";

    for (const std::string& folder : to)
        if (folder.size() >= folder_capacity) return false;
    return true;
}

}  // namespace

const std::string& app_folder() { return section_folders[core_section]; }

const std::string* section_folder(std::string_view name) {
    for (std::size_t i = 0; i < section_count; ++i)
        if (package::names_equal(name, layout[i].manifest_name)) return &section_folders[i];
    return nullptr;
}

int build_folder_map(platform::module_handle instance) {
    ui::module_instance = instance;
    run::worker_handle = 0;
    run::quit_flag = run::quit_none;
    ui::initialise_progress_display(instance);

    section_folders = {};
    std::string command, f;
    std::array<std::string, section_count> folders;
    if (!look_up_application(folder_map_keys, &command) || !folder_of_command(command, &f) ||
        !derive_folders(f, &folders)) {
        run::quit_flag = run::quit_folder_map_failed;
        return 0;
    }
    section_folders = folders;
    run::quit_flag = run::quit_none;
    return 1;
}

}  // namespace install
