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
    auto keys = platform::read_profile_section(section, path.c_str());
    int flag = static_cast<int>(platform::section_int(*keys, entry_key(number, "Flag").text, 0));
    if (flag == 0) return 0;

    char text[entry_text_capacity];
    platform::section_string(*keys, entry_key(number, "Dest").text, "", text, sizeof text);
    *destination = text;
    if (flag != flag_delete) {
        platform::section_string(*keys, entry_key(number, "CAB").text, "", text, sizeof text);
        *compressed_path = compressed_folder + text;
    }
    return flag;
}

manifest::content_keys manifest::read_new_content(const char* section, int number, std::string* sha256,
                                                  unsigned long long* size) const {
    auto keys = platform::read_profile_section(section, path.c_str());
    char digest[80], length[32];
    platform::section_string(*keys, entry_key(number, "SHA256").text, "", digest, sizeof digest);
    platform::section_string(*keys, entry_key(number, "Size").text, "", length, sizeof length);
    if (!*digest && !*length) return content_keys::none;
    std::string hex = digest;
    if (hex.size() != 64 || !*length) return content_keys::malformed;
    for (char& c : hex) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return content_keys::malformed;
    }
    unsigned long long value = 0;
    for (const char* p = length; *p; ++p) {
        if (*p < '0' || *p > '9' || value > 0xFFFFFFFFull) return content_keys::malformed;
        value = value * 10 + static_cast<unsigned long long>(*p - '0');
    }
    *sha256 = hex;
    *size = value;
    return content_keys::present;
}

int manifest::section_count(const char* section) const {
    auto keys = platform::read_profile_section(section, path.c_str());
    return static_cast<int>(platform::section_int(*keys, "NumFiles", 0));
}

int manifest::total_entries() const {
    auto keys = platform::read_profile_section("General", path.c_str());
    return static_cast<int>(platform::section_int(*keys, "TotalFiles", -1));
}

std::string manifest::waiting_message(const std::string& fallback) const {
    auto keys = platform::read_profile_section("General", path.c_str());
    char text[waiting_message_capacity];
    platform::section_string(*keys, "Message", fallback.c_str(), text, sizeof text);
    return text;
}

}  // namespace package
