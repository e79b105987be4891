#include "package/manifest.h"

#include <cstdio>

#include "platform/profile.h"

namespace package {

namespace {

// "File<N><suffix>", N in decimal without leading zeros.
struct entry_key {
    char text[40];
    entry_key(int number, const char* suffix) { std::snprintf(text, sizeof text, "File%d%s", number, suffix); }
};

}  // namespace

int manifest::read_entry(const char* section, int number, std::string* destination,
                         std::string* compressed_path) const {
    const char* file = path.c_str();
    int flag = static_cast<int>(platform::read_profile_int(section, entry_key(number, "Flag").text, 0, file));
    if (flag == 0) return 0;

    char text[entry_text_capacity];
    platform::read_profile_string(section, entry_key(number, "Dest").text, "", text, sizeof text, file);
    *destination = text;
    if (flag != flag_delete) {
        platform::read_profile_string(section, entry_key(number, "CAB").text, "", text, sizeof text, file);
        *compressed_path = compressed_folder + text;
    }
    return flag;
}

int manifest::section_count(const char* section) const {
    return static_cast<int>(platform::read_profile_int(section, "NumFiles", 0, path.c_str()));
}

int manifest::total_entries() const {
    return static_cast<int>(platform::read_profile_int("General", "TotalFiles", -1, path.c_str()));
}

std::string manifest::waiting_message(const std::string& fallback) const {
    char text[waiting_message_capacity];
    platform::read_profile_string("General", "Message", fallback.c_str(), text, sizeof text, path.c_str());
    return text;
}

}  // namespace package
