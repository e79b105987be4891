#include <windows.h>

#include <string>

#include "platform/paths.h"

namespace platform {

std::string path_for_display(const std::string& path) { return path; }

std::string full_path(const char* path) {
    char buffer[4096];
    DWORD length = GetFullPathNameA(path, sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return {};
    std::string result(buffer, length);
    while (result.size() > 3 && result.back() == '\\') result.pop_back();
    return result;
}

int ansi_code_page() { return static_cast<int>(GetACP()); }

bool set_ansi_code_page(int code_page) { return code_page == ansi_code_page(); }

std::string last_error_text() {
    DWORD code = GetLastError();
    if (code == ERROR_SUCCESS) return {};
    char buffer[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                  sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace platform
