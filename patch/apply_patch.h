// Rebuilds the new version of a file from its old version and a binary
// patch (the instruction body followed by the u32 byte sum of the new file).
#pragma once

#include "patch/file_record.h"

namespace patch {

// Writes the new version to `output` and checks its byte sum against the
// patch's. 0: the output is closed and holds the verified new file. -1: a
// failure, told to the user; the old file is never touched. A partial or
// mismatching output stays on disk, and a mismatch is also logged in
// RegLog.txt in the temporary folder.
int apply_patch(file_record* patch, file_record* old_file, file_record* output);

// Appends "Error Patching File: <path>" to the patch error log.
void log_patch_error(const char* output_path);

}  // namespace patch
