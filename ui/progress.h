// The progress display: the shared progress state that the working code
// writes with plain stores, and the window that shows it, refreshed from a
// timer at most once every half second.
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

// The entry being worked on; the file pass stores it on the worker thread.
extern std::atomic<std::int16_t> current_entry;
extern std::atomic<std::int16_t> total_count;
// Written and read on the main thread only; at most 255 characters.
extern std::string status_text;
// String 101, "File %d of %d": the counter shown and the total count.
extern std::string progress_line_format;
extern std::uint32_t last_refresh_time;
// The progress window, nullptr when there is none (silent mode, or the
// dialog could not be created).
extern platform::window_handle progress_window;

// Sets the status text, cut to 255 characters.
void set_status_text(const std::string& text);

// Makes the bar class available, zeroes the counters and loads the
// progress line format. Runs once, before the window is created.
void initialise_progress_display(platform::module_handle instance);

// Creates the window from dialog template 1 (none in silent mode) and
// starts its 250 ms timer.
void create_progress_window(platform::module_handle instance);

bool progress_window_procedure(platform::window_handle window, platform::window_message message);

// Moves the bar to the current entry counter at once, when there is a
// window: made after each record of a long step that dispatches no
// messages meanwhile.
void update_progress_bar();

}  // namespace ui
