#include "ui/strings.h"

#include <vector>

namespace ui {

platform::module_handle module_instance = nullptr;

std::string load_text(unsigned id, int capacity) {
    std::vector<char> buffer(static_cast<std::size_t>(capacity), '\0');
    int length = platform::load_string(module_instance, id, buffer.data(), capacity);
    return std::string(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace ui
