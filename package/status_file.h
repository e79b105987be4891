// The status file PLUpdate.ini in the work folder: the package's release
// data for the application, two values the run reads, and the outcome the
// run records for the application.
#pragma once

#include <string>

namespace package {

inline constexpr const char* status_file_name = "PLUpdate.ini";
inline constexpr int relaunch_command_capacity = 2000;  // terminator included
inline constexpr const char* default_relaunch_command = "Pelora9.exe";

// The status file of the work folder `folder` (ending with a backslash).
struct status_file {
    std::string folder;

    // The folder followed by "PLUpdate.ini".
    std::string path() const;

    // [Build] version, 0 when missing.
    int read_build_number() const;

    // [General] Command (at most 1999 characters), "Pelora9.exe" when missing.
    std::string read_relaunch_command() const;

    // Failures 0: [Status] CurStat = "3". Otherwise CurStat = "4" and
    // ErrorCode = the number of failures in decimal. The success form leaves
    // an ErrorCode the file already holds. Write failures go unnoticed: the
    // run goes on all the same.
    void record_outcome(int failures) const;
};

}  // namespace package
