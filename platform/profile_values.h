// The rules the profile readers of both builds share: blanks, names, the
// copying of a value or a default into the caller's buffer, and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::profile_values {

// Blanks as the profile reader sees them; Ctrl-Z is one too.
inline bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim(std::string_view text);

// The name in ASCII lower case: the key of profile_section::keys.
std::string lower(std::string_view name);

// Copies the value found (quotes around it dropped) or, when there is none,
// the default (trailing spaces dropped) into buffer, cut to capacity - 1
// characters and zero-terminated; returns the characters copied.
int copy_value(const std::optional<std::string>* found, const char* default_value, char* buffer, int capacity);

// A profile number: see read_profile_int.
std::uint32_t to_integer(const char* text);

// What read_profile_int gives for a value found or not.
std::uint32_t integer_value(const std::optional<std::string>* found, int default_value);

}  // namespace platform::profile_values
