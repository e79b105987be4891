#include "ui/progress.h"

#include <algorithm>
#include <cstdio>

#include "run/run_state.h"
#include "ui/resource_ids.h"

namespace ui {

std::atomic<std::int16_t> current_entry{0};
std::atomic<std::int16_t> total_count{0};
std::string status_text;
std::string progress_line_format;
std::uint32_t last_refresh_time = 0;
platform::window_handle progress_window = nullptr;

namespace {

// The bar's range follows the total count as it changes (252 while the
// payload is split, then the manifest's total), so the bar shows the
// progress of the step at hand instead of being full after 125 entries.
// A total of 0 or less (a run about to end) leaves the range as it was.
void show_bar(platform::window_handle window, std::int16_t counter, std::int16_t total) {
    if (total > 0) platform::set_bar_range(window, IDC_PROGRESS_BAR, total);
    platform::set_bar_position(window, IDC_PROGRESS_BAR, counter);
}

void refresh(platform::window_handle window) {
    std::uint32_t now = platform::tick_count();
    // Unsigned difference: a wrap of the tick count keeps refreshes going.
    if (static_cast<std::uint32_t>(now - last_refresh_time) <= refresh_interval) return;
    platform::set_control_text(window, IDC_STATUS, status_text.c_str());
    std::int16_t counter = current_entry.load();
    std::int16_t total = total_count.load();
    std::int16_t shown = counter <= total ? counter : total;
    char line[2000];
    std::snprintf(line, sizeof line, progress_line_format.c_str(), static_cast<int>(shown), static_cast<int>(total));
    platform::set_control_text(window, IDC_PROGRESS_LINE, line);
    show_bar(window, counter, total);
    last_refresh_time = platform::tick_count();
}

}  // namespace

void set_status_text(const std::string& text) { status_text = text.substr(0, status_capacity - 1); }

void initialise_progress_display(platform::module_handle instance) {
    platform::init_common_controls();
    current_entry = 0;
    total_count = 0;
    char format[line_format_capacity];
    int length = platform::load_string(instance, IDS_FILE_N_OF_M, format, sizeof format);
    progress_line_format.assign(format, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void create_progress_window(platform::module_handle instance) {
    if (run::silent_mode) {
        progress_window = nullptr;
        return;
    }
    progress_window = platform::create_dialog(instance, IDD_PROGRESS, progress_window_procedure);
    platform::set_timer(progress_window, 0, timer_period);
}

bool progress_window_procedure(platform::window_handle window, platform::window_message message) {
    switch (message) {
        case platform::window_message::init_dialog:
            last_refresh_time = platform::tick_count();
            platform::set_bar_range(window, IDC_PROGRESS_BAR, std::max<int>(total_count.load(), 0));
            return true;
        case platform::window_message::timer:
            refresh(window);
            return false;
        case platform::window_message::other:
            break;
    }
    return false;
}

void update_progress_bar() {
    if (progress_window) show_bar(progress_window, current_entry.load(), total_count.load());
}

}  // namespace ui
