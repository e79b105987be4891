#include "run/driver.h"

#include <cstring>

#include "install/folder_map.h"
#include "install/locate_application.h"
#include "package/outcome_codes.h"
#include "package/work_folder.h"
#include "platform/files.h"
#include "platform/sync.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "run/backup.h"
#include "run/coordination.h"
#include "run/early_end.h"
#include "run/file_pass.h"
#include "run/resume.h"
#include "run/room.h"
#include "run/tell.h"
#include "ui/progress.h"
#include "ui/strings.h"

namespace run {

namespace {

constexpr std::int16_t expanding_total = 125;
constexpr std::int16_t splitting_total = 252;
constexpr std::uint32_t poll_period = 500;

// Keeps the progress window alive (or, in silent mode, just waits) until the
// worker says the run is over. The flag is looked at after each message
// arrives and before it is dispatched.
void wait_for_run_end(bool silent, const run_shared& shared) {
    if (silent) {
        while (shared.quit_flag.load() != quit_run_over) platform::sleep_ms(poll_period);
        return;
    }
    platform::queued_message message;
    while (platform::get_message(&message)) {
        if (shared.quit_flag.load() == quit_run_over) break;
        platform::dispatch_message(message);
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

bool split_with_progress(platform::module_handle module, const package::unpacked_package& unpacked,
                         ui::progress_display* display, package::split_result* outcome, int* records) {
    ui::progress_counters& progress = *display->counters;
    progress.current_entry = 0;
    progress.total_count = splitting_total;
    int written = 0;
    package::split_result result =
        package::split_payload(module, unpacked.payload, unpacked.work_folder, [&] {
            ++written;
            ++progress.current_entry;
            ui::update_progress_bar(*display);
        });
    tell_split_result(result);
    progress.current_entry = 0;
    if (outcome) *outcome = result;
    if (records) *records = written;
    return result == package::split_result::written;
}

std::uint32_t worker(void* parameter) {
    const worker_job& job = *static_cast<const worker_job*>(parameter);
    const run_context& context = *job.context;
    run_shared& shared = *job.shared;

    bool room = enough_room(context);
    if (room && context.backup) log_build_line(context.backup_folder, context.status());
    int failures = room ? file_pass(context, &shared.progress) : static_cast<int>(package::early_end::no_room);
    package::clean_work_folder(context.work_folder);
    context.status().record_outcome(failures);

    if (!context.silent) {
        std::string command_line = context.status().read_relaunch_command();
        std::string executable = context.folders.app_folder() + "\\" + install::application_exe;
        if (!platform::create_process(executable.c_str(), command_line.c_str()))
            show_error(context.module, IDS_LAUNCH_FAILED);
    }

    platform::sleep_ms(poll_period);
    shared.quit_flag.store(quit_run_over);
    return 0;
}

int run_update(platform::module_handle instance, const char* command_line) {
    run_context context;
    context.module = instance;
    context.silent = silent_switch(command_line);

    if (running_check().running) {
        platform::message_box("Please Quit Pelora before running this Updater", "Error", platform::box_buttons::ok);
        return 0;
    }
    if (finish_interrupted_update(instance, context.silent)) return 0;
    package::unpack_failure why = package::unpack_failure::resource_missing;
    std::optional<package::unpacked_package> unpacked = package::unpack_package(instance, &why);
    if (!(unpacked && installation_holds_new_release(unpacked->work_folder)) && !install::locate_application()) {
        // The locating told the user why.
        if (unpacked) package::clean_work_folder(unpacked->work_folder);
        end_early(instance, true, unpacked ? unpacked->work_folder : "", package::early_end::installation_refused,
                  "");
        return 0;
    }
    if (!unpacked) {
        std::string folder = platform::temp_path() + "PLUpdate";
        if (why == package::unpack_failure::work_folder_not_ours)
            end_early(instance, context.silent, "", package::early_end::work_folder_unusable,
                      "The work folder " + folder + " could not be made anew for the update alone.");
        else
            end_early(instance, context.silent, "", package::early_end::damaged_package,
                      "The update could not be unpacked into the work folder " + folder + ".");
        return 0;
    }
    std::string handoff = handoff_string(package::manifest_file_name, unpacked->work_folder);

    // Shared with the worker and the window until the run is over.
    run_shared shared;
    ui::progress_display display;
    ui::initialise_progress_display(&display, &shared.progress, instance);

    std::string manifest_name, work_folder;
    std::optional<install::folder_map> folders = install::build_folder_map(instance);
    if (!folders || handoff.empty() || !parse_handoff(handoff, &manifest_name, &work_folder)) {
        show_error(instance, IDS_INIT_FAILED);
        end_early(instance, true, unpacked->work_folder, package::early_end::cannot_start, "");
        return 0;
    }
    context.folders = *folders;
    context.work_folder = work_folder;
    context.manifest = {work_folder + manifest_name, work_folder};

    shared.progress.total_count = expanding_total;
    ui::set_status_text(&display, "Expanding Files");
    ui::create_progress_window(&display, instance, context.silent);

    package::split_result split = package::split_result::written;
    int records = 0;
    bool split_done = split_with_progress(instance, *unpacked, &display, &split, &records);
    if (!split_done) {
        // What the split wrote goes; the status file stays to record why.
        package::clean_work_folder(context.work_folder);
        end_early(instance, context.silent, context.work_folder, package::early_end::unpack_failed,
                  split_failure_message(split, context.work_folder));
        return 0;
    }
    if (!package_holds_together(context, records)) return 0;
    shared.progress.total_count = static_cast<std::int16_t>(context.manifest.total_entries());

    wait_for_application(instance, context.manifest, &display);
    backup_choice backup = prepare_backup(instance, context.silent, context.folders.app_folder());
    if (backup.decision == backup_decision::stop_run) {
        package::clean_work_folder(context.work_folder);
        end_early(instance, true, context.work_folder, package::early_end::stopped_by_user, "");
        return 0;
    }
    context.backup = backup.decision == backup_decision::with_backup;
    context.backup_folder = backup.folder;

    worker_job job{&context, &shared};
    if (!platform::start_thread(worker, &job)) {
        package::clean_work_folder(context.work_folder);
        end_early(instance, context.silent, context.work_folder, package::early_end::cannot_start,
                  "The update could not start its work in the work folder " + context.work_folder + ".");
        return 0;
    }
    wait_for_run_end(context.silent, shared);
    return 0;
}

}  // namespace run
