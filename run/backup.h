// The backup folder in the app folder, and its log: before the update
// changes a file, a copy goes into "<app folder>\Backup\PLUpdate.new\" and
// a line into "<app folder>\Backup\Log.txt". The copies take the place of
// the older ones in "Backup\" only when the update's commit completes, so
// the folder always holds the content from before the last completed
// update, and an interrupted run never costs an old copy.
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

// Where a run's copies wait for its commit, inside the backup folder.
inline constexpr const char* pending_copies_folder = "PLUpdate.new\\";

// Asks whether to back up (not in silent mode) and creates the folder and
// an empty folder for this run's copies (the copies of a run that ended
// before its commit, which changed nothing, are dropped; older copies
// stay). When a folder cannot be made, asks whether to go on without it.
backup_choice prepare_backup(platform::module_handle module, bool silent, const std::string& app_folder);

// Appends "Build:<version>" from the status file to the backup log.
void log_build_line(const std::string& backup_folder, const package::status_file& status);

// Copies the target into the folder of this run's copies, under the
// destination's text after its first backslash, then logs the destination.
// A target that is not there has nothing to copy and is logged all the
// same. False, with nothing logged and no copy left, when the copy fails
// or the target is a link, which is never followed.
bool back_up(const std::string& backup_folder, const std::string& target_path, const std::string& destination);

// Moves the waiting copies of "<backup folder>PLUpdate.new\" over the older
// ones and removes that folder; nothing when there is none. Done by the
// commit once its last change is made, before its journal goes.
void promote_copies(const std::string& backup_folder);

}  // namespace run
