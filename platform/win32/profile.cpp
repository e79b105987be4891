#include <windows.h>

#include "platform/profile.h"

namespace platform {

std::uint32_t read_profile_int(const char* section, const char* key, int default_value, const char* file) {
    return GetPrivateProfileIntA(section, key, default_value, file);
}

int read_profile_string(const char* section, const char* key, const char* default_value, char* buffer,
                        int capacity, const char* file) {
    if (capacity <= 0) return 0;
    return static_cast<int>(
        GetPrivateProfileStringA(section, key, default_value, buffer, static_cast<DWORD>(capacity), file));
}

bool write_profile_string(const char* section, const char* key, const char* value, const char* file) {
    return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

std::vector<std::string> read_profile_keys(const char* section, const char* file) {
    // With no key name the call lists the section's keys, each ended by a
    // zero, the list ended by another; a list that does not fit comes back
    // cut to capacity - 2 characters.
    std::vector<char> buffer(4096);
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), static_cast<DWORD>(buffer.size()), file);
        if (length + 2 < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> keys;
    for (DWORD at = 0; at < length && buffer[at] != '\0';) {
        std::string name(buffer.data() + at);
        at += static_cast<DWORD>(name.size()) + 1;
        keys.push_back(std::move(name));
    }
    return keys;
}

}  // namespace platform
