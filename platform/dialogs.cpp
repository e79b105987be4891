#include "platform/dialogs.h"

#include <atomic>

#include "platform/native.h"

namespace platform {

namespace {
std::atomic<open_file_handler> installed_handler{nullptr};
}

bool open_file_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity) {
    if (open_file_handler handler = installed_handler.load()) return handler(description, pattern, buffer, capacity);
    return native::open_file_dialog(description, pattern, buffer, capacity);
}

open_file_handler set_open_file_handler(open_file_handler handler) { return installed_handler.exchange(handler); }

}  // namespace platform
