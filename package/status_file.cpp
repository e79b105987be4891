#include "package/status_file.h"

#include <cstdio>

#include "platform/profile.h"
#include "run/run_state.h"

namespace package {

std::string status_file_path() { return run::work_folder_path + status_file_name; }

int read_build_number() {
    return static_cast<int>(platform::read_profile_int("Build", "version", 0, status_file_path().c_str()));
}

std::string read_relaunch_command() {
    char command[relaunch_command_capacity];
    platform::read_profile_string("General", "Command", default_relaunch_command, command, sizeof command,
                                  status_file_path().c_str());
    return command;
}

void record_outcome(int file_pass_result) {
    std::string path = status_file_path();
    if (file_pass_result == 0) {
        platform::write_profile_string("Status", "CurStat", "3", path.c_str());
        return;
    }
    platform::write_profile_string("Status", "CurStat", "4", path.c_str());
    char code[16];
    std::snprintf(code, sizeof code, "%d", file_pass_result);
    platform::write_profile_string("Status", "ErrorCode", code, path.c_str());
}

}  // namespace package
