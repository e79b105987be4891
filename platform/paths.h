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

// A path in the form a person at this system types it: on Windows as it
// is; on the host the host's own ("Z:\\tmp\\a" -> "/tmp/a", "new\\User" ->
// "new/User"), names in UTF-8.
std::string path_for_display(const std::string& path);

// The absolute form of a Windows path with "." and ".." taken away, and on
// the host links resolved as far as the path exists: two paths that reach
// the same folder give the same text but for letter case. Empty when it
// cannot be made.
std::string full_path(const char* path);

// The ANSI code page that file names are spelt in: the system's own on
// Windows (GetACP); on the host $PLUPDATE_CODE_PAGE (1250, 1251 or 1252),
// by default 1252, where names on the disk are UTF-8 as under Wine.
int ansi_code_page();
// Makes names spelt in `code_page` from now on: on the host any code page
// that formats/code_page.h knows; on Windows only the system's own. False
// when it cannot be.
bool set_ansi_code_page(int code_page);

// The system's words for why the last failed file call failed ("No such
// file or directory"); empty when it gave no reason.
std::string last_error_text();

}  // namespace platform
