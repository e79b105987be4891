#include <windows.h>

#include <string>

#include "platform/registry.h"

namespace platform {

namespace {
HKEY root_key(registry_root root) {
    switch (root) {
        case registry_root::classes_root: return HKEY_CLASSES_ROOT;
        case registry_root::current_user: return HKEY_CURRENT_USER;
        case registry_root::local_machine: break;
    }
    return HKEY_LOCAL_MACHINE;
}
}  // namespace

bool registry_open_key(registry_root root, const char* subkey, registry_key* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root_key(root), subkey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    *key = opened;
    return true;
}

bool registry_query_value(registry_key key, const char* name, void* data, std::uint32_t* size) {
    DWORD length = *size;
    LONG result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, nullptr, static_cast<BYTE*>(data), &length);
    *size = length;
    return result == ERROR_SUCCESS;
}

void registry_close_key(registry_key key) { RegCloseKey(static_cast<HKEY>(key)); }

bool import_registry_file(const char* path) {
    std::string command = std::string("regedit.exe /S \"") + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

}  // namespace platform
