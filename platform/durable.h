// Changes that last: new files created under names nobody else holds, data
// on the disk before the rename that puts it in place, and renames and
// deletions that survive a power loss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace platform {

// Creates `path` as a new, empty file, failing when a file, folder or link
// of that name is already there (CREATE_NEW; a link is never followed).
// Returns it open for writing without sharing, or invalid_file.
file_handle create_new_file(const char* path);

// Writes the file's data through to the disk (FlushFileBuffers; fsync).
bool flush_file(const char* path);

// Starts writing the file's data to the disk without waiting for it, so
// that its flush_file later finds little left to do (on the host; on
// Windows nothing).
void start_flush(const char* path);

// How many files flush_files flushes at once.
constexpr std::size_t flush_threads = 8;

// flush_file for every file, several at a time, so that the disk takes
// their data together. Tells for each file whether it was flushed.
std::vector<bool> flush_files(const std::vector<std::string>& paths);

// Makes the renames and deletions done in `folder` last. On the host, an
// fsync of the folder; on Windows every move is written through already
// and this does nothing.
bool sync_folder(const char* folder);

// Moves over an existing file in one step, written through to the disk
// before it returns on Windows (MOVEFILE_WRITE_THROUGH); on the host,
// sync_folder completes it.
bool replace_file_durably(const char* from, const char* to);

// Whether `path` is a symbolic link (a reparse point on Windows).
bool is_link(const char* path);

// Free bytes for the caller on the disk that holds `folder`; false when
// the disk cannot be asked.
bool free_space(const char* folder, std::uint64_t* bytes);

// A point of a run at which a test may stop the process at once, as a
// SIGKILL or a power loss would: the n-th call ends the process when the
// environment variable PLUPDATE_KILL_AT is n. Otherwise nothing.
void kill_point();

}  // namespace platform
