#include "install/layout.h"

#include "package/names.h"

namespace install {

const section_layout* find_section(std::string_view manifest_name) {
    for (const section_layout& s : layout)
        if (package::names_equal(manifest_name, s.manifest_name)) return &s;
    return nullptr;
}

bool stays_inside(std::string_view name) {
    if (name.empty()) return false;
    if (name[0] == '\\' || name[0] == '/') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    // No component of dots (and the blanks Windows trims) that could climb
    // out: "..", ".. ", "...".
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        int dots = 0;
        bool only_dots = true;
        for (std::size_t i = start; i < end; ++i) {
            if (name[i] == '.')
                ++dots;
            else if (name[i] != ' ')
                only_dots = false;
        }
        if (only_dots && dots >= 2) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace install
