// How the host build finds the files that Windows paths name.
#pragma once

#include <string>

namespace platform::host {

// Maps a Windows path as Wine does: "Z:\" is the host root, a path rooted
// without a drive is taken as on Z:, and a relative path stays relative.
// Other drive letters live under $PLUPDATE_DRIVES/<letter>. Where no entry
// of the exact name exists, an existing entry whose name differs only in
// ASCII letter case is used instead, as on Windows.
std::string to_host(const char* windows_path);

// A name on the host's disk (UTF-8) as the ANSI functions give it, in the
// ANSI code page, '?' for what the code page cannot spell.
std::string name_to_windows(const std::string& host_name);

// The inverse for absolute host paths: "/tmp/a" -> "Z:\tmp\a".
std::string to_windows(const std::string& host_path);

}  // namespace platform::host
