#include "ui/strings.h"

#include <vector>

namespace ui {

std::string load_text(platform::module_handle module, unsigned id, int capacity) {
    std::vector<char> buffer(static_cast<std::size_t>(capacity), '\0');
    int length = platform::load_string(module, id, buffer.data(), capacity);
    return std::string(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace ui
