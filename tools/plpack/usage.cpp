#include <cstdlib>

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

}  // namespace plpack
