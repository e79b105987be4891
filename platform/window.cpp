#include "platform/window.h"

#include <atomic>

#include "platform/native.h"

namespace platform {

namespace {
std::atomic<const window_calls*> replacement{nullptr};
}

const window_calls* set_window_calls(const window_calls* calls) { return replacement.exchange(calls); }

bool dispatch_next_message() {
    queued_message message;
    if (!get_message(&message)) return false;
    dispatch_message(message);
    return true;
}

window_handle create_dialog(module_handle instance, int template_id, dialog_procedure procedure, void* context) {
    if (const window_calls* calls = replacement.load())
        return calls->create_dialog(instance, template_id, procedure, context);
    return native::create_dialog(instance, template_id, procedure, context);
}

bool set_timer(window_handle window, unsigned id, unsigned milliseconds) {
    if (const window_calls* calls = replacement.load()) return calls->set_timer(window, id, milliseconds);
    return native::set_timer(window, id, milliseconds);
}

std::uint32_t tick_count() {
    if (const window_calls* calls = replacement.load()) return calls->tick_count();
    return native::tick_count();
}

void set_control_text(window_handle window, int control, const char* text) {
    if (const window_calls* calls = replacement.load()) return calls->set_control_text(window, control, text);
    native::set_control_text(window, control, text);
}

void set_bar_range(window_handle window, int control, int upper) {
    if (const window_calls* calls = replacement.load()) return calls->set_bar_range(window, control, upper);
    native::set_bar_range(window, control, upper);
}

void set_bar_position(window_handle window, int control, int position) {
    if (const window_calls* calls = replacement.load()) return calls->set_bar_position(window, control, position);
    native::set_bar_position(window, control, position);
}

}  // namespace platform
