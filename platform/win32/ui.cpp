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

namespace platform {

resource_handle find_data_resource(module_handle module, unsigned id) {
    HMODULE instance = module ? static_cast<HMODULE>(module) : GetModuleHandleA(nullptr);
    return FindResourceA(instance, MAKEINTRESOURCEA(id), "DATA");
}

loaded_resource load_resource(module_handle module, resource_handle resource) {
    HMODULE instance = module ? static_cast<HMODULE>(module) : GetModuleHandleA(nullptr);
    return resource ? LoadResource(instance, static_cast<HRSRC>(resource)) : nullptr;
}

std::uint32_t sizeof_resource(module_handle module, resource_handle resource) {
    HMODULE instance = module ? static_cast<HMODULE>(module) : GetModuleHandleA(nullptr);
    return resource ? SizeofResource(instance, static_cast<HRSRC>(resource)) : 0;
}

const void* lock_resource(loaded_resource loaded) { return loaded ? LockResource(loaded) : nullptr; }

void free_resource(loaded_resource loaded) {
    if (loaded) FreeResource(loaded);
}

}  // namespace platform
