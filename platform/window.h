// The progress window's platform: a modeless dialog from a template, its
// timer, its controls and the system tick count. On the host the dialog is
// drawn as text on standard error when that is a terminal.
#pragma once

#include <cstdint>
#include <string>

#include "platform/resources.h"

namespace platform {

using window_handle = void*;

enum class window_message { init_dialog, timer, other };
// Called for the dialog's messages with the context given at its creation;
// true when a dialog initialisation was handled, false leaves the message
// to the default dialog handling.
using dialog_procedure = bool (*)(window_handle window, window_message message, void* context);

// Makes the progress bar class available (InitCommonControls).
void init_common_controls();
// A modeless dialog from template `template_id` with no owner; nullptr
// when it cannot be created. The procedure gets init_dialog during the
// creation, and `context` with every message. One dialog procedure is
// served at a time.
window_handle create_dialog(module_handle instance, int template_id, dialog_procedure procedure, void* context);
// A timer that sends the window timer messages every `milliseconds`; with
// no window, a timer of the calling thread. False when none was made.
bool set_timer(window_handle window, unsigned id, unsigned milliseconds);
// Milliseconds since the system started, wrapping at 2^32 (GetTickCount).
std::uint32_t tick_count();
void set_control_text(window_handle window, int control, const char* text);
// A progress bar's range, 0 .. upper (PBM_SETRANGE; upper is 0..65535).
void set_bar_range(window_handle window, int control, int upper);
void set_bar_position(window_handle window, int control, int position);

// What the controls show (GetDlgItemTextA, PBM_GETRANGE, PBM_GETPOS).
std::string control_text(window_handle window, int control);
int bar_upper(window_handle window, int control);
int bar_position(window_handle window, int control);

// A message taken from the calling thread's queue, not yet dispatched (a
// MSG on Windows; on the host, the timer tick that fell due).
struct queued_message {
    std::uintptr_t storage[8];
};
// Waits for the calling thread's next message (GetMessageA). False when the
// thread has been told to quit. On the host the messages are the timers'
// ticks.
bool get_message(queued_message* message);
// Hands a message that get_message took to its window (DispatchMessageA).
void dispatch_message(const queued_message& message);
// Both in one step.
bool dispatch_next_message();

// The calls the window logic makes, replaceable as a whole so that the
// logic can be driven without a display and with a tick count of its own.
struct window_calls {
    window_handle (*create_dialog)(module_handle instance, int template_id, dialog_procedure procedure,
                                   void* context);
    bool (*set_timer)(window_handle window, unsigned id, unsigned milliseconds);
    std::uint32_t (*tick_count)();
    void (*set_control_text)(window_handle window, int control, const char* text);
    void (*set_bar_range)(window_handle window, int control, int upper);
    void (*set_bar_position)(window_handle window, int control, int position);
};
// Returns the previous replacement; nullptr restores the platform's calls.
const window_calls* set_window_calls(const window_calls* calls);

}  // namespace platform
