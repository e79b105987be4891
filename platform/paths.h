// Paths given on a command line, in the form the logic works with.
#pragma once

#include <string>

namespace platform {

// On Windows the path as it is. On the host, an absolute path becomes its
// Wine form ("/tmp/a" -> "Z:\tmp\a") and a relative one keeps its place
// with backslashes.
std::string path_from_command_line(const char* path);

}  // namespace platform
