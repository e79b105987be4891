// Where plpack puts what it makes: never inside its inputs, never over
// files it did not make, and only complete.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plpack {

// A folder the command reads, and how messages name it.
struct input_folder {
    std::string path;
    std::string shown;  // as the user typed it
    const char* what;   // "OLD", "NEW", "--dict-old", ...
};

// Why the package folder `out` (shown as `shown`) may not be written: it
// lies inside one of `inputs` or is one of them, it is a file, or it is a
// folder that holds anything but a package's three files. Empty when it
// may be written (also when it does not exist yet).
std::string output_problem(const std::string& out, const std::string& shown, const std::vector<input_folder>& inputs);

// One file of a package: its name in the folder and its content.
using package_file = std::pair<const char*, const std::vector<std::uint8_t>*>;

// Writes `files` into a new folder beside `out` and, when all are written,
// puts that folder in the place of `out` in one rename, a package already
// there going as a whole. False, with a message naming `shown`, when a
// step fails; nothing new then stays and `out` is as it was.
bool write_package_folder(const std::string& out, const std::string& shown, const std::vector<package_file>& files);

// Whether `inner` is `outer` or lies below it (full paths compared without
// regard to ASCII letter case, as on Windows).
bool path_within(const std::string& inner, const std::string& outer);

}  // namespace plpack
