// Coordination with the application through the names it shares with the
// updater: the startup mutex, the running mutex and its main window class.
#pragma once

#include "package/manifest.h"
#include "platform/resources.h"
#include "platform/sync.h"
#include "ui/progress.h"

namespace run {

inline constexpr const char* startup_mutex_name = "Pelora9StartUp";
inline constexpr const char* running_mutex_name = "Pelora8PatchableRunning";
inline constexpr const char* application_window_class = "PL7AplClass";

struct running_state {
    // Whether the application's main window exists.
    bool running = false;
    // The startup mutex the check acquired, kept and never closed until the
    // process ends; no_mutex when it holds nothing.
    platform::mutex_handle startup_mutex = platform::no_mutex;
};

// Takes the startup mutex (kept until the process ends), then looks for the
// application's main window.
running_state running_check();

// True when a top-level window of class "PL7AplClass" exists.
bool find_application_window();

// Shows the manifest's waiting message, passes through the startup mutex,
// waits for the application to release its running mutex (asking the user
// to quit it when it does not within 10 ms), then shows "Updating Pelora...".
void wait_for_application(platform::module_handle module, const package::manifest& manifest,
                          ui::progress_display* display);

}  // namespace run
