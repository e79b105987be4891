// Names of files, folders and sections compare as Windows compares them:
// without regard to ASCII letter case.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace package {

inline char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool names_equal(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return folded(x) == folded(y); });
}

// The name in ASCII lower case: two names are equal exactly when these are.
inline std::string folded_name(std::string_view name) {
    std::string result(name);
    for (char& c : result) c = folded(c);
    return result;
}

}  // namespace package
