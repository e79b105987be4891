#include "run/resume.h"

#include <string>

#include "install/locate_application.h"
#include "package/status_file.h"
#include "package/work_folder.h"
#include "platform/ui.h"
#include "run/commit.h"
#include "ui/strings.h"

namespace run {

namespace {

// The folder of the first registered open command, without its trailing
// backslash; no dialog is shown.
bool registered_app_folder(std::string* folder) {
    for (const char* subkey : install::locate_keys) {
        char command[install::command_capacity];
        std::uint32_t length = sizeof command;
        if (!install::read_registry_value(platform::registry_root::classes_root, subkey, "", command, &length))
            continue;
        std::string found;
        if (!install::folder_of_command(install::registry_text(command, length), &found)) return false;
        found.pop_back();
        *folder = found;
        return true;
    }
    return false;
}

}  // namespace

bool finish_interrupted_update(platform::module_handle module, bool silent) {
    std::string app_folder;
    if (!registered_app_folder(&app_folder)) return false;
    int failures = 0;
    if (finish_journal(app_folder, &failures) == journal_found::none) return false;

    std::optional<package::unpacked_package> unpacked = package::unpack_package(module);
    if (unpacked) {
        package::status_file{unpacked->work_folder}.record_outcome(failures);
        package::clean_work_folder(unpacked->work_folder);
    }
    if (!silent) {
        std::string text = failures == 0
                               ? "The update of Pelora that was interrupted has been finished."
                               : "The update of Pelora that was interrupted has been finished, but " +
                                     std::to_string(failures) + " of its files could not be updated.";
        std::string caption = ui::load_text(module, IDS_UPDATER_CAPTION);
        platform::message_box(text.c_str(), caption.c_str(), platform::box_buttons::ok);
    }
    return true;
}

}  // namespace run
