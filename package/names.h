// Names of files, folders and sections compare as Windows compares them:
// without regard to ASCII letter case.
#pragma once

#include <algorithm>
#include <string_view>

namespace package {

inline bool names_equal(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace package
