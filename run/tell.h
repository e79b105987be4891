// What the run tells the user about the results of the engine and of the
// package's unpacking: message boxes without owner, and the patch error log.
#pragma once

#include <string>

#include "package/work_folder.h"
#include "patch/apply_patch.h"
#include "platform/resources.h"

namespace run {

// A message box with string `text_id` and the updater's caption (string 105).
void show_error(platform::module_handle module, unsigned text_id);

// A patch that was not verified: string 115 for a failure, string 114 for
// a checksum mismatch, which is also logged with `output_path` in the
// patch error log. Nothing for a verified patch.
void tell_patch_result(platform::module_handle module, patch::patch_result result, const std::string& output_path);

// Appends "Error Patching File: <path>" to RegLog.txt in the temporary folder.
void log_patch_error(const char* output_path);

// The text of the "Pelora Patch" box for a failed split; nullptr for a
// split that wrote every record.
const char* split_failure_text(package::split_result result);

// Shows that box, when there is one to show.
void tell_split_result(package::split_result result);

}  // namespace run
