#include "run/resume.h"

#include <string>

#include "install/layout.h"
#include "install/locate_application.h"
#include "package/names.h"
#include "package/outcome_codes.h"
#include "platform/digest.h"
#include "platform/files.h"
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

bool holds_new_executable(const package::manifest& manifest, const std::string& exe_path) {
    const char* core = install::layout[install::core_section].manifest_name;
    int count = manifest.section_count(core);
    for (int number = 1; number <= count && number <= 32766; ++number) {
        std::string destination, compressed;
        int flag = manifest.read_entry(core, number, &destination, &compressed);
        if (flag == 0 || flag == package::flag_delete || !package::names_equal(destination, install::application_exe))
            continue;
        std::string sha256;
        unsigned long long size = 0;
        if (manifest.read_new_content(core, number, &sha256, &size) != package::manifest::content_keys::present)
            return false;
        std::optional<platform::file_digest> digest = platform::digest_file(exe_path.c_str());
        return digest && digest->size == size && digest->sha256 == sha256;
    }
    return false;
}

bool installation_holds_new_release(const std::string& work_folder) {
    std::string app_folder;
    if (!registered_app_folder(&app_folder)) return false;
    package::manifest manifest{work_folder + package::manifest_file_name, work_folder};
    return holds_new_executable(manifest, app_folder + "\\" + install::application_exe);
}

bool finish_interrupted_update(platform::module_handle module, bool silent) {
    std::string app_folder;
    if (!registered_app_folder(&app_folder)) return false;
    int failures = 0;
    journal_found found = finish_journal(app_folder, &failures);
    if (found == journal_found::none) return false;

    std::optional<package::unpacked_package> unpacked = package::unpack_package(module);
    if (unpacked) {
        package::status_file{unpacked->work_folder}.record_outcome(
            found == journal_found::unfinished ? static_cast<int>(package::early_end::unfinished_commit) : failures);
        package::clean_work_folder(unpacked->work_folder);
    }
    if (!silent) {
        std::string text = found == journal_found::unfinished
                               ? "The update of Pelora that was interrupted could not be finished in " + app_folder +
                                     ": some of its files cannot be replaced. Quit Pelora and run this updater "
                                     "again."
                           : failures == 0
                               ? "The update of Pelora that was interrupted has been finished."
                               : "The update of Pelora that was interrupted has been finished, but " +
                                     std::to_string(failures) + " of its files could not be updated.";
        std::string caption = ui::load_text(module, IDS_UPDATER_CAPTION);
        platform::message_box(text.c_str(), caption.c_str(), platform::box_buttons::ok);
    }
    return true;
}

}  // namespace run
