#include "run/driver.h"

#include <cstring>

#include "install/folder_map.h"
#include "install/locate_application.h"
#include "package/manifest.h"
#include "package/status_file.h"
#include "package/work_folder.h"
#include "platform/sync.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "run/backup.h"
#include "run/coordination.h"
#include "run/file_pass.h"
#include "run/run_state.h"
#include "ui/progress.h"
#include "ui/strings.h"

namespace run {

namespace {

constexpr std::int16_t expanding_total = 125;
constexpr std::uint32_t poll_period = 500;

void show_error(unsigned text_id) {
    platform::message_box(ui::load_text(text_id).c_str(), ui::load_text(IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
}

// Keeps the progress window alive (or, in silent mode, just waits) until the
// worker says the run is over.
void wait_for_run_end() {
    if (silent_mode) {
        while (quit_flag.load() != quit_run_over) platform::sleep_ms(poll_period);
        return;
    }
    while (platform::dispatch_next_message()) {
        if (quit_flag.load() == quit_run_over) break;
    }
}

}  // namespace

bool silent_switch(const char* command_line) {
    return command_line && (std::strstr(command_line, "-s") || std::strstr(command_line, "-S"));
}

std::string handoff_string(const std::string& manifest_name, const std::string& work_folder) {
    return manifest_name + " [" + work_folder + "]";
}

bool parse_handoff(const std::string& handoff, std::string* manifest_name, std::string* work_folder) {
    if (handoff.size() < 2) return false;
    std::string text = handoff.substr(0, handoff.size() - 1);  // the closing bracket
    // The manifest name holds no bracket but the work folder may ("C:\Users\x[2]\"):
    // the folder starts after the first one.
    std::size_t bracket = text.find('[');
    if (bracket == std::string::npos) return false;
    *work_folder = text.substr(bracket + 1);
    *manifest_name = text.substr(0, bracket == 0 ? 0 : bracket - 1);
    return true;
}

std::uint32_t worker(void*) {
    if (backup_mode) log_build_line();
    int result = file_pass();
    package::clean_work_folder();
    package::record_outcome(result);

    if (!silent_mode) {
        std::string command_line = package::read_relaunch_command();
        std::string executable = install::app_folder() + "\\" + install::application_exe;
        if (!platform::create_process(executable.c_str(), command_line.c_str())) show_error(IDS_LAUNCH_FAILED);
    }

    platform::sleep_ms(poll_period);
    quit_flag.store(quit_run_over);
    return 0;
}

int run_update(platform::module_handle instance, const char* command_line) {
    silent_mode = silent_switch(command_line);

    if (running_check()) {
        platform::message_box("Please Quit Pelora before running this Updater", "Error", platform::box_buttons::ok);
        return 0;
    }
    if (!install::locate_application()) return 0;
    if (package::unpack_package(instance) != 0) return 0;
    std::string handoff = handoff_string(package::manifest_file_name, package::unpacked_work_folder);

    std::string manifest_name, work_folder;
    if (!install::build_folder_map(instance) || handoff.empty() ||
        !parse_handoff(handoff, &manifest_name, &work_folder)) {
        show_error(IDS_INIT_FAILED);
        return 0;
    }
    work_folder_path = work_folder;
    manifest_path = work_folder_path + manifest_name;

    ui::total_count.store(expanding_total);
    ui::set_status_text("Expanding Files");
    ui::create_progress_window(instance);

    if (package::split_payload(work_folder_path) == 1) {
        ui::total_count.store(static_cast<std::int16_t>(package::total_entries()));
    } else {
        ui::total_count.store(0);
    }
    if (ui::total_count.load() <= 0) {
        show_error(IDS_NO_FILES);
        return 0;
    }

    wait_for_application(instance);
    prepare_backup(instance);
    if (quit_flag.load() != quit_none) return 0;

    if (!platform::start_thread(worker, nullptr)) return 0;
    wait_for_run_end();
    return 0;
}

}  // namespace run
