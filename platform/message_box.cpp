#include <atomic>

#include "platform/native.h"
#include "platform/ui.h"

namespace platform {

namespace {
std::atomic<message_box_handler> installed_handler{nullptr};
}

box_answer message_box(const char* text, const char* caption, box_buttons buttons) {
    if (message_box_handler handler = installed_handler.load()) return handler(text, caption, buttons);
    return native::message_box(text, caption, buttons);
}

message_box_handler set_message_box_handler(message_box_handler handler) {
    return installed_handler.exchange(handler);
}

}  // namespace platform
