// The host's string table: empty until the program registers its rows
// (the updater's are in ui/host_resources.cpp), as the Windows resource
// script fills the Windows build's.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/host/embedded.h"
#include "platform/resources.h"

namespace platform {

namespace {

std::mutex& strings_mutex() {
    static std::mutex m;
    return m;
}

// Created on first use: registrations run from static constructors.
std::map<unsigned, const char*>& strings() {
    static std::map<unsigned, const char*> table;
    return table;
}

}  // namespace

namespace host {

void register_string(unsigned id, const char* text) {
    std::lock_guard lock(strings_mutex());
    if (text)
        strings()[id] = text;
    else
        strings().erase(id);
}

}  // namespace host

int load_string(module_handle, unsigned id, char* buffer, int capacity) {
    if (capacity <= 0) return 0;
    buffer[0] = '\0';
    const char* text = nullptr;
    {
        std::lock_guard lock(strings_mutex());
        auto it = strings().find(id);
        if (it != strings().end()) text = it->second;
    }
    if (!text) return 0;
    std::size_t length = std::min(std::strlen(text), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

}  // namespace platform
