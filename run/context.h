// What one run knows, built by the driver on the main thread and handed to
// the worker as a const view, and what the two threads share while both
// run.
//
// Errors in run/: this is where the user is told. The engine's results
// become the run's message boxes and log lines here; the file pass counts
// failed entries, and the run records that count in the status file. The
// process exits with 0 whatever happened.
#pragma once

#include <atomic>
#include <string>

#include "install/folder_map.h"
#include "package/manifest.h"
#include "package/status_file.h"
#include "platform/resources.h"
#include "ui/progress.h"

namespace run {

// Everything the run decided before the worker starts; nothing in it
// changes afterwards.
struct run_context {
    platform::module_handle module = nullptr;
    bool silent = false;
    // Whether entries are backed up, and where to ("<app folder>\Backup\").
    bool backup = false;
    std::string backup_folder;
    // The work folder, ending with a backslash.
    std::string work_folder;
    package::manifest manifest;
    install::folder_map folders;

    package::status_file status() const { return {work_folder}; }
};

inline constexpr int quit_none = 0;
inline constexpr int quit_run_over = 99;

// Shared by the worker and the main thread's loop.
struct run_shared {
    // Stored by the worker as its last act (99); the main loop reads it.
    std::atomic<int> quit_flag{quit_none};
    ui::progress_counters progress;
};

}  // namespace run
