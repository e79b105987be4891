#include <cstdlib>

#include "formats/code_page.h"
#include "tools/plpack/usage.h"

namespace plpack {

bool parse_number(const char* text, long low, long high, long* value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

bool parse_code_page(const char* text, int* code_page) {
    long number = 0;
    if (!parse_number(text, 0, 65535, &number) || !formats::code_page_known(static_cast<int>(number))) return false;
    *code_page = static_cast<int>(number);
    return true;
}

}  // namespace plpack
