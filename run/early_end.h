// The ways a run ends before or instead of its file pass: each one records
// CurStat=4 with its ErrorCode in the status file, when the work folder
// holds one, and tells the user, unless the run is silent.
#pragma once

#include <string>

#include "package/outcome_codes.h"
#include "package/work_folder.h"
#include "platform/resources.h"
#include "run/context.h"

namespace run {

// Records `code` in the status file of `work_folder` (nothing when it is
// empty) and, unless `silent`, shows `text` in a box with the updater's
// caption.
void end_early(platform::module_handle module, bool silent, const std::string& work_folder, package::early_end code,
               const std::string& text);

// Checks the manifest of `context` against the `records` files the split
// wrote. A damaged package clears the work folder, records damaged_package,
// shows "The update package is damaged: <first finding>." and returns false.
// A package with no entries at all gets the message that there were no
// files in the update, and records damaged_package too.
bool package_holds_together(const run_context& context, int records);

// The message for a split that failed; "" for one that wrote every record.
std::string split_failure_message(package::split_result result, const std::string& work_folder);

}  // namespace run
