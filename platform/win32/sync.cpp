#include <windows.h>

#include "platform/sync.h"

namespace platform {

mutex_handle create_mutex(const char* name) {
    return reinterpret_cast<mutex_handle>(CreateMutexA(nullptr, FALSE, name));
}

wait_result wait_for_mutex(mutex_handle mutex, std::uint32_t milliseconds) {
    switch (WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), milliseconds == wait_forever ? INFINITE : milliseconds)) {
    case WAIT_OBJECT_0: return wait_result::acquired;
    case WAIT_ABANDONED: return wait_result::abandoned;
    case WAIT_TIMEOUT: return wait_result::timed_out;
    default: return wait_result::failed;
    }
}

bool release_mutex(mutex_handle mutex) { return ReleaseMutex(reinterpret_cast<HANDLE>(mutex)) != FALSE; }

void close_mutex(mutex_handle mutex) { CloseHandle(reinterpret_cast<HANDLE>(mutex)); }

namespace {

struct enumeration {
    window_visitor visit;
    void* context;
};

BOOL CALLBACK visit_window(HWND window, LPARAM parameter) {
    auto* e = reinterpret_cast<enumeration*>(parameter);
    char class_name[256];
    if (GetClassNameA(window, class_name, 255) == 0) return TRUE;
    return e->visit(class_name, e->context) ? TRUE : FALSE;
}

LRESULT CALLBACK plain_window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcA(window, message, w, l);
}

}  // namespace

void enum_top_level_windows(window_visitor visit, void* context) {
    enumeration e{visit, context};
    EnumWindows(visit_window, reinterpret_cast<LPARAM>(&e));
}

bool show_top_level_window(const char* class_name) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = plain_window_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = class_name;
    if (!RegisterClassA(&window_class)) return false;
    HWND window = CreateWindowExA(0, class_name, class_name, WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    return window != nullptr;
}

bool create_process(const char* executable, const char* command_line) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line buffer.
    char buffer[2000];
    lstrcpynA(buffer, command_line ? command_line : "", sizeof buffer);
    if (!CreateProcessA(executable, buffer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

namespace {
struct thread_start {
    std::uint32_t (*procedure)(void*);
    void* parameter;
};
DWORD WINAPI run_thread(LPVOID start) {
    thread_start s = *static_cast<thread_start*>(start);
    delete static_cast<thread_start*>(start);
    return s.procedure(s.parameter);
}
}  // namespace

bool start_thread(std::uint32_t (*procedure)(void* parameter), void* parameter) {
    auto* start = new thread_start{procedure, parameter};
    HANDLE thread = CreateThread(nullptr, 0, run_thread, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

void sleep_ms(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace platform

namespace platform {

std::string own_command_line() { return GetCommandLineA(); }

std::string own_executable_path() {
    char buffer[2000];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

}  // namespace platform
