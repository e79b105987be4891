#include "ui/progress.h"

#include <algorithm>
#include <cstdio>

#include "ui/resource_ids.h"

namespace ui {

namespace {

// The bar's range follows the total count as it changes (252 while the
// payload is split, then the manifest's total), so the bar shows the
// progress of the step at hand instead of being full after 125 entries.
// A total of 0 or less (a run about to end) leaves the range as it was.
void show_bar(platform::window_handle window, std::int16_t counter, std::int16_t total) {
    if (total > 0) platform::set_bar_range(window, IDC_PROGRESS_BAR, total);
    platform::set_bar_position(window, IDC_PROGRESS_BAR, counter);
}

void refresh(progress_display* display, platform::window_handle window) {
    std::uint32_t now = platform::tick_count();
    // Unsigned difference: a wrap of the tick count keeps refreshes going.
    if (static_cast<std::uint32_t>(now - display->last_refresh_time) <= refresh_interval) return;
    platform::set_control_text(window, IDC_STATUS, display->status_text.c_str());
    std::int16_t counter = display->counters->current_entry.load();
    std::int16_t total = display->counters->total_count.load();
    std::int16_t shown = counter <= total ? counter : total;
    char line[2000];
    std::snprintf(line, sizeof line, display->line_format.c_str(), static_cast<int>(shown), static_cast<int>(total));
    platform::set_control_text(window, IDC_PROGRESS_LINE, line);
    show_bar(window, counter, total);
    display->last_refresh_time = platform::tick_count();
}

}  // namespace

void set_status_text(progress_display* display, const std::string& text) {
    display->status_text = text.substr(0, status_capacity - 1);
}

void initialise_progress_display(progress_display* display, progress_counters* counters,
                                 platform::module_handle instance) {
    platform::init_common_controls();
    display->counters = counters;
    counters->current_entry = 0;
    counters->total_count = 0;
    char format[line_format_capacity];
    int length = platform::load_string(instance, IDS_FILE_N_OF_M, format, sizeof format);
    display->line_format.assign(format, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void create_progress_window(progress_display* display, platform::module_handle instance, bool silent) {
    if (silent) {
        display->window = nullptr;
        return;
    }
    display->window = platform::create_dialog(instance, IDD_PROGRESS, progress_window_procedure, display);
    platform::set_timer(display->window, 0, timer_period);
}

bool progress_window_procedure(platform::window_handle window, platform::window_message message, void* context) {
    auto* display = static_cast<progress_display*>(context);
    switch (message) {
        case platform::window_message::init_dialog:
            display->last_refresh_time = platform::tick_count();
            platform::set_bar_range(window, IDC_PROGRESS_BAR,
                                    std::max<int>(display->counters->total_count.load(), 0));
            return true;
        case platform::window_message::timer:
            refresh(display, window);
            return false;
        case platform::window_message::other:
            break;
    }
    return false;
}

void update_progress_bar(const progress_display& display) {
    if (display.window)
        show_bar(display.window, display.counters->current_entry.load(), display.counters->total_count.load());
}

}  // namespace ui
