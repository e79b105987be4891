// The host's dialogs: the controls of a registered template kept in memory
// and, when standard error is a terminal, drawn there one line each (a text,
// or a bar of 40 cells), redrawn in place on every change. Timers fall due
// in get_message and fire in dispatch_message.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/console.h"
#include "platform/host/dialog_templates.h"
#include "platform/native.h"
#include "platform/window.h"

namespace platform {

namespace {

using clock = std::chrono::steady_clock;

struct control {
    std::string text;
    int upper = 100;  // a new bar's range is 0..100
    int position = 0;
};

struct host_window {
    dialog_procedure procedure = nullptr;
    void* context = nullptr;
    std::vector<host::dialog_control> layout;  // the template's controls, in drawing order
    std::map<int, control> controls;
    bool on_terminal = false;
};

struct host_timer {
    host_window* window;
    unsigned id;
    clock::duration period;
    clock::time_point due;
};

std::mutex windows_mutex;
std::vector<host_timer> timers;

// Created on first use: templates are registered from static constructors.
struct template_table {
    std::mutex mutex;
    std::map<int, std::vector<host::dialog_control>> templates;
};
template_table& dialog_templates() {
    static template_table table;
    return table;
}
std::atomic<bool> drawn_at_bottom{false};

host_window* to_host(window_handle window) { return static_cast<host_window*>(window); }

void draw(host_window* window) {
    if (!window->on_terminal) return;
    constexpr int width = 40;
    std::string lines;
    for (const host::dialog_control& item : window->layout) {
        const control& c = window->controls[item.id];
        lines += "\x1b[2K";
        if (item.is_bar) {
            int filled = c.upper > 0 ? c.position * width / c.upper : 0;
            lines.append("[").append(static_cast<std::size_t>(filled), '#');
            lines.append(static_cast<std::size_t>(width - filled), '.').append("]");
        } else {
            lines += c.text;
        }
        lines += "\n";
    }
    static std::string last_drawn;
    // Back over the lines drawn last time, unless other text came since.
    if (drawn_at_bottom.exchange(true)) {
        if (lines == last_drawn) return;
        std::fprintf(stderr, "\x1b[%zuF", window->layout.size());
    }
    std::fputs(lines.c_str(), stderr);
    std::fflush(stderr);
    last_drawn = lines;
}

}  // namespace

void init_common_controls() {}

std::string control_text(window_handle window, int control) {
    std::lock_guard lock(windows_mutex);
    return window ? to_host(window)->controls[control].text : std::string();
}

int bar_upper(window_handle window, int control) {
    std::lock_guard lock(windows_mutex);
    return window ? to_host(window)->controls[control].upper : 0;
}

int bar_position(window_handle window, int control) {
    std::lock_guard lock(windows_mutex);
    return window ? to_host(window)->controls[control].position : 0;
}

bool get_message(queued_message* message) {
    std::unique_lock lock(windows_mutex);
    message->storage[0] = 0;
    if (timers.empty()) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return true;
    }
    auto next = std::min_element(timers.begin(), timers.end(),
                                 [](const host_timer& a, const host_timer& b) { return a.due < b.due; });
    clock::time_point due = next->due;
    next->due = std::max(due + next->period, clock::now());
    message->storage[0] = reinterpret_cast<std::uintptr_t>(next->window);
    lock.unlock();
    std::this_thread::sleep_until(due);
    return true;
}

void dispatch_message(const queued_message& message) {
    auto* window = reinterpret_cast<host_window*>(message.storage[0]);
    if (window && window->procedure) window->procedure(window, window_message::timer, window->context);
}

namespace host {

void note_console_output() { drawn_at_bottom = false; }

void register_dialog_template(int template_id, std::vector<dialog_control> controls) {
    template_table& table = dialog_templates();
    std::lock_guard lock(table.mutex);
    table.templates[template_id] = std::move(controls);
}

}  // namespace host

namespace native {

window_handle create_dialog(module_handle, int template_id, dialog_procedure procedure, void* context) {
    std::vector<host::dialog_control> layout;
    {
        template_table& table = dialog_templates();
        std::lock_guard lock(table.mutex);
        auto found = table.templates.find(template_id);
        if (found == table.templates.end()) return nullptr;
        layout = found->second;
    }
    // A dialog lives as long as the process: every one stays listed here,
    // in a table that is never destroyed.
    static auto* const dialogs = new std::vector<std::unique_ptr<host_window>>;
    auto* window = new host_window;
    window->procedure = procedure;
    window->context = context;
    window->layout = layout;
    for (const host::dialog_control& item : layout) window->controls[item.id].text = item.text;
    window->on_terminal = isatty(STDERR_FILENO) != 0;
    {
        std::lock_guard lock(windows_mutex);
        dialogs->emplace_back(window);
    }
    if (procedure) procedure(window, window_message::init_dialog, context);
    std::lock_guard lock(windows_mutex);
    draw(window);
    return window;
}

bool set_timer(window_handle window, unsigned id, unsigned milliseconds) {
    std::lock_guard lock(windows_mutex);
    auto period = std::chrono::milliseconds(std::max(milliseconds, 10u));
    auto same = [&](const host_timer& t) { return t.window == to_host(window) && t.id == id; };
    timers.erase(std::remove_if(timers.begin(), timers.end(), same), timers.end());
    timers.push_back({to_host(window), id, period, clock::now() + period});
    return true;
}

std::uint32_t tick_count() {
    // Milliseconds of the monotonic clock, which counts from the system's start.
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(elapsed.count());
}

void set_control_text(window_handle window, int control, const char* text) {
    if (!window) return;
    std::lock_guard lock(windows_mutex);
    to_host(window)->controls[control].text = text;
    draw(to_host(window));
}

void set_bar_range(window_handle window, int control, int upper) {
    if (!window) return;
    std::lock_guard lock(windows_mutex);
    // As a bar does, the position is kept within the range.
    struct control& bar = to_host(window)->controls[control];
    bar.upper = std::clamp(upper, 0, 0xFFFF);
    bar.position = std::clamp(bar.position, 0, bar.upper);
    draw(to_host(window));
}

void set_bar_position(window_handle window, int control, int position) {
    if (!window) return;
    std::lock_guard lock(windows_mutex);
    struct control& bar = to_host(window)->controls[control];
    bar.position = std::clamp(position, 0, bar.upper);
    draw(to_host(window));
}

}  // namespace native

}  // namespace platform
