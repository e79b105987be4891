// Resources of the updater's own module: the string table.
#pragma once

namespace platform {

// A module handle (HINSTANCE); nullptr stands for the running executable.
using module_handle = void*;

// Copies string `id` of the module's string table into buffer, cut to
// capacity - 1 characters. Returns the length copied, 0 when absent.
int load_string(module_handle module, unsigned id, char* buffer, int capacity);

}  // namespace platform
