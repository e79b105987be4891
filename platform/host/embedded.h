// The host executable's data resources: bytes linked into the executable
// (or given by a test), registered under their identifiers before main.
#pragma once

#include <cstddef>

namespace platform::host {

// Registers (or replaces) data resource `id`; the bytes must outlive every
// use. A null `data` removes the resource.
void register_data_resource(unsigned id, const void* data, std::size_t size);

}  // namespace platform::host
