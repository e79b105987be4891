// Profile files through the system's profile calls. A section read at once
// (read_profile_section) is kept for the reads after it while the file's
// size and times stay as they were; a write through write_profile_string
// drops what was kept of its file.
#include <windows.h>

#include <map>
#include <mutex>
#include <string_view>

#include "platform/profile.h"
#include "platform/profile_values.h"

namespace platform {

namespace {

using profile_values::lower;

struct cached_section {
    bool existed = false;
    WIN32_FILE_ATTRIBUTE_DATA stamp{};
    ULONGLONG read_at = 0;  // the system time just before the section was read
    std::shared_ptr<const profile_section> values;
};

// Sections read, by file and section name in lower case; used under
// cache_mutex only.
std::mutex cache_mutex;
std::map<std::pair<std::string, std::string>, cached_section> cache;
constexpr std::size_t cache_capacity = 64;

// A change within this span after the section was read might leave the
// file's time of last change as it was (file systems keep it in ticks of up
// to about 16 ms): until then, the section is read again.
constexpr ULONGLONG racy_span = 100 * 10000;  // 100 ms in 100 ns units

ULONGLONG as_number(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

bool same_stamp(const cached_section& kept, bool exists, const WIN32_FILE_ATTRIBUTE_DATA& now) {
    if (kept.existed != exists) return false;
    if (!exists) return true;
    const WIN32_FILE_ATTRIBUTE_DATA& then = kept.stamp;
    return then.nFileSizeHigh == now.nFileSizeHigh && then.nFileSizeLow == now.nFileSizeLow &&
           as_number(then.ftLastWriteTime) == as_number(now.ftLastWriteTime) &&
           as_number(then.ftCreationTime) == as_number(now.ftCreationTime);
}

// The section's lines as GetPrivateProfileSectionA lists them: "name=value"
// (value as written, quotes kept) or "name" for a line without "=", each
// ended by a zero, comment lines left out.
std::shared_ptr<const profile_section> read_section(const char* section, const char* file) {
    std::vector<char> buffer(65536);
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()), file);
        // A list that does not fit comes back cut to the buffer's size - 2.
        if (length + 2 < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    auto values = std::make_shared<profile_section>();
    for (DWORD at = 0; at < length && buffer[at] != '\0';) {
        std::string_view line(buffer.data() + at);
        at += static_cast<DWORD>(line.size()) + 1;
        std::string_view name = line;
        std::optional<std::string> value;
        std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            name = line.substr(0, equals);
            value.emplace(line.substr(equals + 1));
        }
        values->keys.try_emplace(lower(name), std::move(value));
    }
    return values;
}

}  // namespace

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
    bool written = WritePrivateProfileStringA(section, key, value, file) != FALSE;
    if (file) {
        std::string name = lower(file);
        std::lock_guard lock(cache_mutex);
        for (auto at = cache.begin(); at != cache.end();)
            at = at->first.first == name ? cache.erase(at) : std::next(at);
    }
    return written;
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

std::shared_ptr<const profile_section> read_profile_section(const char* section, const char* file) {
    static const auto empty = std::make_shared<const profile_section>();
    if (!section || !file) return empty;
    WIN32_FILE_ATTRIBUTE_DATA now{};
    bool exists = GetFileAttributesExA(file, GetFileExInfoStandard, &now) != FALSE;
    std::pair<std::string, std::string> name{lower(file), lower(section)};
    std::lock_guard lock(cache_mutex);
    auto at = cache.find(name);
    if (at != cache.end() && same_stamp(at->second, exists, now) &&
        (!exists || as_number(now.ftLastWriteTime) + racy_span < at->second.read_at))
        return at->second.values;
    cached_section fresh;
    fresh.existed = exists;
    fresh.stamp = now;
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    fresh.read_at = as_number(clock);
    fresh.values = read_section(section, file);
    if (at == cache.end() && cache.size() >= cache_capacity) cache.clear();
    cache[name] = fresh;
    return fresh.values;
}

}  // namespace platform
