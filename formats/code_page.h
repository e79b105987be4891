// The Windows ANSI code pages that file names are spelt in: the updater
// works with the ANSI Win32 functions, so a package's names are bytes of
// the code page of the system it runs on, while the host's file names are
// UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace formats {

inline constexpr int default_code_page = 1252;

// Whether the code page is one of those known here: 1250, 1251, 1252.
bool code_page_known(int code_page);

// Text in the code page as UTF-8.
std::string code_page_to_utf8(std::string_view text, int code_page);

// UTF-8 text in the code page. A character the code page cannot spell, or
// a byte that is not well-formed UTF-8, becomes '?', as Windows gives it;
// *all_spelt (when given) tells whether that happened.
std::string utf8_to_code_page(std::string_view utf8, int code_page, bool* all_spelt = nullptr);

}  // namespace formats
