// The registry, read only: RegOpenKeyExA, RegQueryValueExA, RegCloseKey.
#pragma once

#include <cstdint>

namespace platform {

enum class registry_root { classes_root, current_user, local_machine };

using registry_key = void*;

// Opens `subkey` of `root` for querying values only. Key names match
// without regard to letter case.
bool registry_open_key(registry_root root, const char* subkey, registry_key* key);

// Queries value `name` ("" for the key's default value). With data nullptr
// only the size is asked for. *size is the buffer's size on entry and the
// data's size on return, the terminating NUL of a string value included.
// False when the value does not exist or (with data) does not fit.
bool registry_query_value(registry_key key, const char* name, void* data, std::uint32_t* size);

void registry_close_key(registry_key key);

// Merges a .reg file into the registry as `regedit /S FILE` does, for tests
// and tools (the updater itself never writes to the registry). On the host
// the registry is the one file that PLUPDATE_REGISTRY names, so there the
// file replaces what was there before.
bool import_registry_file(const char* path);

}  // namespace platform
