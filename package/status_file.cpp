#include "package/status_file.h"

#include <cstdio>

#include "platform/profile.h"

namespace package {

std::string status_file::path() const { return folder + status_file_name; }

int status_file::read_build_number() const {
    return static_cast<int>(platform::read_profile_int("Build", "version", 0, path().c_str()));
}

std::string status_file::read_relaunch_command() const {
    char command[relaunch_command_capacity];
    platform::read_profile_string("General", "Command", default_relaunch_command, command, sizeof command,
                                  path().c_str());
    return command;
}

void status_file::record_outcome(int failures) const {
    std::string file = path();
    if (failures == 0) {
        platform::write_profile_string("Status", "CurStat", "3", file.c_str());
        return;
    }
    platform::write_profile_string("Status", "CurStat", "4", file.c_str());
    char code[16];
    std::snprintf(code, sizeof code, "%d", failures);
    platform::write_profile_string("Status", "ErrorCode", code, file.c_str());
}

}  // namespace package
