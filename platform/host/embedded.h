// The host executable's resources: data bytes linked into the executable
// (or given by a test) and the rows of its string table, registered under
// their identifiers before main.
#pragma once

#include <cstddef>

namespace platform::host {

// Registers (or replaces) data resource `id`; the bytes must outlive every
// use. A null `data` removes the resource.
void register_data_resource(unsigned id, const void* data, std::size_t size);

// Registers (or replaces) string `id` of the string table; the text must
// outlive every use. A null `text` removes the string.
void register_string(unsigned id, const char* text);

}  // namespace platform::host
