// Message boxes: always without an owner window.
#pragma once

namespace platform {

enum class box_buttons { ok, yes_no };
enum class box_answer { ok, yes, no };

box_answer message_box(const char* text, const char* caption, box_buttons buttons);

// Replaces how message boxes are shown (a console tool prints them, a test
// records them). Returns the previous handler; nullptr restores the
// platform's own boxes.
using message_box_handler = box_answer (*)(const char* text, const char* caption, box_buttons buttons);
message_box_handler set_message_box_handler(message_box_handler handler);

}  // namespace platform
