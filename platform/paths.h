// Paths given on a command line, in the form the logic works with.
#pragma once

#include <string>

namespace platform {

// On Windows the path as it is. On the host, an absolute path becomes its
// Wine form ("/tmp/a" -> "Z:\tmp\a") and a relative one keeps its place
// with backslashes.
std::string path_from_command_line(const char* path);

}  // namespace platform

namespace platform {

// The absolute form of a Windows path with "." and ".." taken away, and on
// the host links resolved as far as the path exists: two paths that reach
// the same folder give the same text but for letter case. Empty when it
// cannot be made.
std::string full_path(const char* path);

// The system's words for why the last failed file call failed ("No such
// file or directory"); empty when it gave no reason.
std::string last_error_text();

}  // namespace platform
