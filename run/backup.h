// The backup folder in the app folder, and its log: before the update
// changes a file, a copy goes into "<app folder>\Backup\" and a line into
// its Log.txt.
#pragma once

#include <string>

#include "package/status_file.h"
#include "platform/resources.h"

namespace run {

// Capacity of the backup folder's path, terminator included.
inline constexpr std::size_t backup_path_capacity = 1024;

enum class backup_decision {
    without_backup,  // silent mode, or the user said No
    with_backup,     // the folder is ready
    stop_run,        // the folder cannot be made and the user will not go on without it
};

struct backup_choice {
    backup_decision decision = backup_decision::without_backup;
    // "<app folder>\Backup\" when decision is with_backup.
    std::string folder;
};

// Asks whether to back up (not in silent mode), clears the previous run's
// copies (Log.txt stays) and creates the folder. When the folder cannot be
// made, asks whether to go on without it.
backup_choice prepare_backup(platform::module_handle module, bool silent, const std::string& app_folder);

// Appends "Build:<version>" from the status file to the backup log.
void log_build_line(const std::string& backup_folder, const package::status_file& status);

// Logs the destination and copies the target into the backup folder, under
// the destination's text after its first backslash. Failures are silent.
void back_up(const std::string& backup_folder, const std::string& target_path, const std::string& destination);

}  // namespace run
