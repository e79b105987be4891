#include <windows.h>

#include "platform/native.h"
#include "platform/paths.h"
#include "platform/resources.h"

namespace platform {

namespace native {

box_answer message_box(const char* text, const char* caption, box_buttons buttons) {
    UINT type = buttons == box_buttons::ok ? MB_OK : MB_YESNO;
    int answer = MessageBoxA(nullptr, text, caption, type);
    if (buttons == box_buttons::ok) return box_answer::ok;
    return answer == IDYES ? box_answer::yes : box_answer::no;
}

}  // namespace native

int load_string(module_handle module, unsigned id, char* buffer, int capacity) {
    HINSTANCE instance = module ? static_cast<HINSTANCE>(module) : GetModuleHandleA(nullptr);
    if (capacity <= 0) return 0;
    buffer[0] = '\0';
    return LoadStringA(instance, id, buffer, capacity);
}

std::string path_from_command_line(const char* path) { return path; }

}  // namespace platform
