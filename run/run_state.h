// The run's shared state that the driver owns and every subsystem reads.
// Written on the main thread before the worker starts, except the quit
// flag, which the worker sets at the end of the run.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace run {

// Capacity of the path globals, terminator included.
inline constexpr std::size_t path_capacity = 1024;

extern bool silent_mode;
extern bool backup_mode;
// The work folder, ending with a backslash.
extern std::string work_folder_path;
// Work folder path + "temp1.cab".
extern std::string manifest_path;

// The worker thread's handle; 0 while there is none.
extern std::intptr_t worker_handle;

inline constexpr int quit_none = 0;
inline constexpr int quit_folder_map_failed = 1;
inline constexpr int quit_run_over = 99;
extern std::atomic<int> quit_flag;

}  // namespace run
