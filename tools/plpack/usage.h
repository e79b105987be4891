// What the commands that parse their own arguments share: the usage error
// that names the bad argument, and the readers of option values.
#pragma once

#include <string>

namespace plpack {

// Prints "plpack: PROBLEM" and the command's usage line (the general hint
// when `command` is nullptr) on stderr; returns 2, the exit code of a usage
// error.
int usage_error(const char* command, const std::string& problem);

// A whole decimal number from `low` to `high`, nothing else; false for
// anything else.
bool parse_number(const char* text, long low, long high, long* value);

// A code page formats/code_page.h knows, given by its number.
bool parse_code_page(const char* text, int* code_page);

}  // namespace plpack
