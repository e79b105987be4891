// The progress display: the counters the working code moves, and the
// window that shows them with a status text, refreshed from a timer at most
// once every half second.
//
// Errors in ui/: none are reported; a window that cannot be created leaves
// the display without one and the run goes on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace ui {

inline constexpr std::size_t status_capacity = 256;
inline constexpr std::size_t line_format_capacity = 256;
// A refresh happens only when strictly more than this many milliseconds
// have passed since the last one.
inline constexpr std::uint32_t refresh_interval = 500;
inline constexpr unsigned timer_period = 250;

// What the working code and the window's timer share while both run; each
// is written with single stores and read without a lock.
struct progress_counters {
    // The entry being worked on: stored by the payload split on the main
    // thread, then by the file pass on the worker thread.
    std::atomic<std::int16_t> current_entry{0};
    // Stored on the main thread only (125, 252, then TotalFiles).
    std::atomic<std::int16_t> total_count{0};
};

// The display the main thread owns; the window's procedure gets it as its
// context, so it must outlive the window.
struct progress_display {
    progress_counters* counters = nullptr;
    // At most 255 characters.
    std::string status_text;
    // String 101, "File %d of %d": the counter shown and the total count.
    std::string line_format;
    std::uint32_t last_refresh_time = 0;
    // nullptr when there is none (silent mode, or the dialog could not be
    // created).
    platform::window_handle window = nullptr;
};

// Sets the status text, cut to 255 characters.
void set_status_text(progress_display* display, const std::string& text);

// Makes the bar class available, points the display at `counters` and
// zeroes them, and loads the progress line format. Runs once, before the
// window is created.
void initialise_progress_display(progress_display* display, progress_counters* counters,
                                 platform::module_handle instance);

// Creates the window from dialog template 1 (none when `silent`) and starts
// its 250 ms timer.
void create_progress_window(progress_display* display, platform::module_handle instance, bool silent);

// The window's procedure; `context` is the progress_display.
bool progress_window_procedure(platform::window_handle window, platform::window_message message, void* context);

// Moves the bar to the current entry counter at once, when there is a
// window: made after each record of a long step that dispatches no
// messages meanwhile.
void update_progress_bar(const progress_display& display);

}  // namespace ui
