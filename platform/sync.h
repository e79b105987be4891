// Processes, threads and named mutexes; top-level windows as the
// application shows them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A named mutex shared between processes (CreateMutexA with no security
// attributes, not initially owned). Ownership belongs to a thread: the
// owner acquires it again at once, each acquisition is undone by one
// release, a release by another thread changes nothing, and when the owner
// thread ends without releasing, the next waiter gets it as abandoned.
// Closing a handle does not release ownership.
using mutex_handle = std::intptr_t;
inline constexpr mutex_handle no_mutex = 0;
mutex_handle create_mutex(const char* name);

enum class wait_result { acquired, abandoned, timed_out, failed };
inline constexpr std::uint32_t wait_forever = 0xFFFFFFFFu;
wait_result wait_for_mutex(mutex_handle mutex, std::uint32_t milliseconds);
bool release_mutex(mutex_handle mutex);
void close_mutex(mutex_handle mutex);

// Calls `visit` with the class name of every top-level window until it
// returns false (EnumWindows + GetClassNameA, 255 characters at most).
using window_visitor = bool (*)(const char* class_name, void* context);
void enum_top_level_windows(window_visitor visit, void* context);

// CreateProcessA(executable, command line, no inherited handles, no
// creation flags, this process's environment and current folder).
bool create_process(const char* executable, const char* command_line);

// CreateThread with default security and stack, running at once; the
// handle is closed at once. False when the thread cannot be created.
bool start_thread(std::uint32_t (*procedure)(void* parameter), void* parameter);

void sleep_ms(std::uint32_t milliseconds);

}  // namespace platform

namespace platform {

// Shows a top-level window of `class_name` that enum_top_level_windows
// finds, in this and every other process, until this process ends. For the
// program that plays the application in tests.
bool show_top_level_window(const char* class_name);

}  // namespace platform

namespace platform {

// This process's command line as Windows gives it (GetCommandLineA), and
// the full path of its executable (GetModuleFileNameA).
std::string own_command_line();
std::string own_executable_path();

}  // namespace platform
