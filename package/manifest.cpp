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

manifest::content_keys manifest::read_new_content(const char* section, int number, std::string* sha256,
                                                  unsigned long long* size) const {
    const char* file = path.c_str();
    char digest[80], length[32];
    platform::read_profile_string(section, entry_key(number, "SHA256").text, "", digest, sizeof digest, file);
    platform::read_profile_string(section, entry_key(number, "Size").text, "", length, sizeof length, file);
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
