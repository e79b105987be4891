// Looking keys up in a section read at once, and the value rules that the
// per-key readers share with it.
#include <algorithm>
#include <cstring>

#include "platform/profile.h"
#include "platform/profile_values.h"

namespace platform {

namespace profile_values {

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view name) {
    std::string result(name);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return result;
}

int copy_value(const std::optional<std::string>* found, const char* default_value, char* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    std::string_view value;
    std::size_t room = static_cast<std::size_t>(capacity) - 1;
    if (found && *found) {
        value = **found;
        // A value in matching quotes is read without them. The system copies
        // the value from after the opening quote, closing quote included, and
        // then drops the last character copied when the whole value would have
        // fitted: a buffer one character longer than the text inside the
        // quotes receives that text without its last character.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
            if (room == value.size() && !value.empty()) value.remove_suffix(1);
        }
    } else {
        value = default_value ? default_value : "";
        while (value.size() > 1 && value.back() == ' ') value.remove_suffix(1);
    }
    std::size_t length = std::min(value.size(), room);
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

// As the system's string-to-integer conversion does with base 0: blanks and
// control characters before an optional sign, a "0x", "0o" or "0b" prefix,
// digits up to the first other character, wrapping modulo 2^32.
std::uint32_t to_integer(const char* text) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s && *s <= ' ') ++s;
    bool minus = false;
    if (*s == '+' || *s == '-') minus = *s++ == '-';
    unsigned base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'o' || s[1] == 'b')) {
        base = s[1] == 'x' ? 16 : s[1] == 'o' ? 8 : 2;
        s += 2;
    }
    std::uint32_t total = 0;
    for (;; ++s) {
        unsigned digit;
        if (*s >= '0' && *s <= '9') digit = *s - '0';
        else if (*s >= 'a' && *s <= 'z') digit = *s - 'a' + 10;
        else if (*s >= 'A' && *s <= 'Z') digit = *s - 'A' + 10;
        else break;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

std::uint32_t integer_value(const std::optional<std::string>* found, int default_value) {
    // The value is read into 30 characters, as the Windows call does.
    char buffer[30];
    if (copy_value(found, "", buffer, sizeof buffer) == 0) return static_cast<std::uint32_t>(default_value);
    return to_integer(buffer);
}

}  // namespace profile_values

namespace {

const std::optional<std::string>* find(const profile_section& section, const char* key) {
    if (!key) return nullptr;
    std::string_view name = profile_values::trim(key);
    if (!name.empty() && name.front() == ';') return nullptr;
    auto at = section.keys.find(profile_values::lower(name));
    return at == section.keys.end() ? nullptr : &at->second;
}

}  // namespace

int section_string(const profile_section& section, const char* key, const char* default_value, char* buffer,
                   int capacity) {
    return profile_values::copy_value(find(section, key), default_value, buffer, capacity);
}

std::uint32_t section_int(const profile_section& section, const char* key, int default_value) {
    return profile_values::integer_value(find(section, key), default_value);
}

}  // namespace platform
