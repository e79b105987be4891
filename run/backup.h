// The backup folder in the app folder, and its log: before the update
// changes a file, a copy goes into "<app folder>\Backup\" and a line into
// its Log.txt.
#pragma once

#include <string>

#include "platform/resources.h"

namespace run {

// "<app folder>\Backup\", set by prepare_backup.
extern std::string backup_folder;

// Asks whether to back up (not in silent mode), clears the previous run's
// copies (Log.txt stays) and creates the folder; sets backup_mode. When the
// folder cannot be made and the user will not go on without it, sets the
// quit flag to 99.
void prepare_backup(platform::module_handle instance);

// Appends "Build:<version>" from the status file to the backup log.
void log_build_line();

// Logs the destination and copies the target into the backup folder, under
// the destination's text after its first backslash. Failures are silent.
void back_up(const std::string& target_path, const std::string& destination);

}  // namespace run
