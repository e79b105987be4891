// The ErrorCode values a failed run records in the status file beside
// CurStat=4. A run that went through the whole file pass records the number
// of entries that failed (1 to 32766, the most a manifest can count); a run
// that ended before or instead of the file pass records one of the codes
// below, all above any count of entries.
#pragma once

namespace package {

enum class early_end : int {
    damaged_package = 40001,       // the manifest or the payload does not hold together
    unpack_failed = 40002,         // the payload could not be split into the work folder
    work_folder_unusable = 40003,  // the work folder is not ours and cannot be made so
    no_room = 40004,               // the installation's disk lacks room for the new files
    unfinished_commit = 40005,     // an interrupted update could not be finished
    installation_refused = 40006,  // the installation was not found or its build is not accepted
    stopped_by_user = 40007,       // the user chose to stop (no backup folder, no going on)
    cannot_start = 40008,          // the folder map or the worker could not be set up
    backup_failed = 40009,         // the backup folder could not keep the old files
};

}  // namespace package
