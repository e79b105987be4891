#include "run/coordination.h"

#include <cstring>

#include "platform/ui.h"
#include "ui/strings.h"

namespace run {

running_state running_check() {
    running_state state;
    platform::mutex_handle mutex = platform::create_mutex(startup_mutex_name);
    if (mutex != platform::no_mutex) {
        platform::wait_result r = platform::wait_for_mutex(mutex, platform::wait_forever);
        if (r == platform::wait_result::acquired || r == platform::wait_result::abandoned) {
            state.startup_mutex = mutex;  // kept, and never closed, until the process ends
        } else {
            platform::release_mutex(mutex);
            platform::close_mutex(mutex);
        }
    }
    state.running = find_application_window();
    return state;
}

bool find_application_window() {
    bool found = false;
    platform::enum_top_level_windows(
        [](const char* class_name, void* context) {
            if (std::strcmp(class_name, application_window_class) != 0) return true;
            *static_cast<bool*>(context) = true;
            return false;
        },
        &found);
    return found;
}

void wait_for_application(platform::module_handle module, const package::manifest& manifest,
                          ui::progress_display* display) {
    std::string fallback = ui::load_text(module, IDS_WAITING, package::waiting_message_capacity);
    ui::set_status_text(display, manifest.waiting_message(fallback));

    platform::mutex_handle startup = platform::create_mutex(startup_mutex_name);
    if (startup != platform::no_mutex) {
        platform::wait_for_mutex(startup, platform::wait_forever);
        platform::release_mutex(startup);
        platform::close_mutex(startup);
    }

    platform::mutex_handle running = platform::create_mutex(running_mutex_name);
    if (running != platform::no_mutex) {
        if (platform::wait_for_mutex(running, 10) == platform::wait_result::timed_out) {
            platform::message_box("Please Quit Pelora so the Updater can continue.", "Error",
                                  platform::box_buttons::ok);
            platform::wait_for_mutex(running, platform::wait_forever);
        }
        platform::release_mutex(running);
        platform::close_mutex(running);
    }

    ui::set_status_text(display, ui::load_text(module, IDS_UPDATING, 2000));
}

}  // namespace run
