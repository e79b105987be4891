// The standard open-file dialog (GetOpenFileNameA).
#pragma once

#include <cstddef>

namespace platform {

// Shows the dialog with the calling thread's active window (if any) as its
// owner, no title, no initial folder, the one filter `description` /
// `pattern`, and the rule that the chosen path and file must exist. The
// buffer (capacity bytes) holds the initial file name, usually empty.
// True when a file was confirmed: the buffer then holds its path. False
// when the dialog was cancelled or failed (a path longer than the buffer
// included).
bool open_file_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity);

// Replaces how the dialog is shown (a test answers it). Returns the
// previous handler; nullptr restores the platform's own dialog.
using open_file_handler = bool (*)(const char* description, const char* pattern, char* buffer, std::size_t capacity);
open_file_handler set_open_file_handler(open_file_handler handler);

}  // namespace platform
