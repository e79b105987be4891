// What each build provides behind the common parts of platform/.
#pragma once

#include <cstddef>

#include "platform/files.h"
#include "platform/ui.h"
#include "platform/window.h"

namespace platform::native {

box_answer message_box(const char* text, const char* caption, box_buttons buttons);
local_time system_local_time();
bool open_file_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity);

window_handle create_dialog(module_handle instance, int template_id, dialog_procedure procedure, void* context);
bool set_timer(window_handle window, unsigned id, unsigned milliseconds);
std::uint32_t tick_count();
void set_control_text(window_handle window, int control, const char* text);
void set_bar_range(window_handle window, int control, int upper);
void set_bar_position(window_handle window, int control, int position);

}  // namespace platform::native
