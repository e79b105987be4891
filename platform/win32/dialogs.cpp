#include <windows.h>
#include <commdlg.h>

#include <string>

#include "platform/native.h"

namespace platform::native {

bool open_file_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity) {
    std::string filter;
    filter.append(description).push_back('\0');
    filter.append(pattern).push_back('\0');
    filter.push_back('\0');
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = GetActiveWindow();
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = buffer;
    request.nMaxFile = static_cast<DWORD>(capacity);
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    return GetOpenFileNameA(&request) != FALSE;
}

}  // namespace platform::native
