// The run driver: one update run from start to exit on the main thread,
// with the file work handed to a single worker thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/resources.h"

namespace run {

// "-s" or "-S" anywhere in the command line, inside a longer word too.
bool silent_switch(const char* command_line);

// The text preparation hands to the driver: "<manifest name> [<work folder>]".
std::string handoff_string(const std::string& manifest_name, const std::string& work_folder);

// Takes a handoff string apart: the work folder is the text between the
// first "[" and the final character, the manifest name what comes before
// the blank in front of that "[". False when there is no "[" to find.
bool parse_handoff(const std::string& handoff, std::string* manifest_name, std::string* work_folder);

// The whole run, as the program's entry point performs it; 0 in every case.
int run_update(platform::module_handle instance, const char* command_line);

// The worker thread: the file pass, the work folder's cleanup, the outcome
// in the status file, the relaunch, and at last quit flag 99.
std::uint32_t worker(void* parameter);

}  // namespace run
