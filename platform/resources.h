// Resources of the updater's own module: the string table and the data
// resources (type "DATA") that carry the update package.
#pragma once

#include <cstdint>

namespace platform {

// A module handle (HINSTANCE); nullptr stands for the running executable.
using module_handle = void*;

// Copies string `id` of the module's string table into buffer, cut to
// capacity - 1 characters. Returns the length copied, 0 when absent.
int load_string(module_handle module, unsigned id, char* buffer, int capacity);

// FindResourceA / LoadResource / SizeofResource / LockResource /
// FreeResource for resources of type "DATA". A null handle means none.
using resource_handle = void*;
using loaded_resource = void*;
resource_handle find_data_resource(module_handle module, unsigned id);
loaded_resource load_resource(module_handle module, resource_handle resource);
std::uint32_t sizeof_resource(module_handle module, resource_handle resource);
const void* lock_resource(loaded_resource loaded);
void free_resource(loaded_resource loaded);

}  // namespace platform
