// The run driver: one update run from start to exit on the main thread,
// with the file work handed to a single worker thread.
#pragma once

#include <cstdint>
#include <string>

#include "package/work_folder.h"
#include "platform/resources.h"
#include "run/context.h"

namespace run {

// "-s" or "-S" anywhere in the command line, inside a longer word too.
bool silent_switch(const char* command_line);

// The text preparation hands to the driver: "<manifest name> [<work folder>]".
std::string handoff_string(const std::string& manifest_name, const std::string& work_folder);

// Takes a handoff string apart: the work folder is the text between the
// first "[" and the final character, the manifest name what comes before
// the blank in front of that "[". False when there is no "[" to find.
bool parse_handoff(const std::string& handoff, std::string* manifest_name, std::string* work_folder);

// Splits the unpacked payload into the work folder, the display's counter
// moving over a total of 252 as the records are written and back to 0 at
// the end; false, after a message box that says why, when it failed.
// `outcome` receives the split's result and `records` the number of
// record files written, when given.
bool split_with_progress(platform::module_handle module, const package::unpacked_package& unpacked,
                         ui::progress_display* display, package::split_result* outcome = nullptr,
                         int* records = nullptr);

// The whole run, as the program's entry point performs it; 0 in every case.
int run_update(platform::module_handle instance, const char* command_line);

// What the worker thread gets: the run's context, which it only reads, and
// what it shares with the main thread.
struct worker_job {
    const run_context* context;
    run_shared* shared;
};

// The worker thread (`parameter` is a worker_job): the file pass, the work
// folder's cleanup, the outcome in the status file, the relaunch, and at
// last quit flag 99, after which it touches nothing of the job.
std::uint32_t worker(void* parameter);

}  // namespace run
