// Failures on request: a test makes a chosen file call fail, to watch the
// code above it cope. The call then does nothing and reports failure as it
// does when Windows refuses it (false, or invalid_file from create_file;
// read_file and write_file deliver no bytes).
//
// Each call of files.h named below asks call_fails() first; while nothing
// is asked for, that costs one relaxed atomic load.
#pragma once

#include <cstddef>

namespace platform {

enum class file_call {
    create_file,
    read_file,
    write_file,
    copy_file,
    move_file,
    replace_file,
    delete_file,
    set_file_attributes_normal,
    flush_file,  // flush_file, and each file of flush_files
};
inline constexpr std::size_t file_call_count = 9;

// The next `after` calls of `call` go through, then the `count` calls after
// them fail. Replaces whatever was asked before for that call. Calls from
// several threads each take one turn.
void fail_next(file_call call, int count = 1, int after = 0);
// How many of the asked failures of `call` have not happened yet.
int failures_left(file_call call);
// Takes back every failure not yet delivered, of every call.
void clear_failures();

// For the implementations of the calls: whether this call is to fail.
bool call_fails(file_call call);

}  // namespace platform
