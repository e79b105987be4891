// The host's string table: the same rows the Windows resource script holds.
#include <algorithm>
#include <cstring>

#include "platform/resources.h"
#include "ui/resource_ids.h"

namespace platform {

namespace {
struct string_row {
    unsigned id;
    const char* text;
};
#define PLUPDATE_STRING_ROW(id, text) {id, text},
constexpr string_row string_table[] = {PLUPDATE_STRING_TABLE(PLUPDATE_STRING_ROW)};
#undef PLUPDATE_STRING_ROW
}  // namespace

int load_string(module_handle, unsigned id, char* buffer, int capacity) {
    if (capacity <= 0) return 0;
    buffer[0] = '\0';
    for (const string_row& row : string_table) {
        if (row.id != id) continue;
        std::size_t length = std::min(std::strlen(row.text), static_cast<std::size_t>(capacity - 1));
        std::memcpy(buffer, row.text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    return 0;
}

}  // namespace platform
