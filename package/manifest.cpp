#include "package/manifest.h"

#include <cstdio>

#include "platform/profile.h"
#include "run/run_state.h"
#include "ui/strings.h"

namespace package {

const char* const manifest_sections[manifest_section_count] = {
    "Core", "Tools", "User", "Filters", "Dict", "Extras", "Color Inks", "PlServer", "Data", "Wizards", "PSFonts", "Symbols",
};

namespace {

// "File<N><suffix>", N in decimal without leading zeros.
struct entry_key {
    char text[40];
    entry_key(int number, const char* suffix) { std::snprintf(text, sizeof text, "File%d%s", number, suffix); }
};

}  // namespace

int read_entry(const char* section, int number, std::string* destination, std::string* compressed_path) {
    const char* manifest = run::manifest_path.c_str();
    int flag = static_cast<int>(platform::read_profile_int(section, entry_key(number, "Flag").text, 0, manifest));
    if (flag == 0) return 0;

    char text[entry_text_capacity];
    platform::read_profile_string(section, entry_key(number, "Dest").text, "", text, sizeof text, manifest);
    *destination = text;
    if (flag != flag_delete) {
        platform::read_profile_string(section, entry_key(number, "CAB").text, "", text, sizeof text, manifest);
        *compressed_path = run::work_folder_path + text;
    }
    return flag;
}

int section_count(const char* section) {
    return static_cast<int>(platform::read_profile_int(section, "NumFiles", 0, run::manifest_path.c_str()));
}

int total_entries() {
    return static_cast<int>(platform::read_profile_int("General", "TotalFiles", -1, run::manifest_path.c_str()));
}

std::string waiting_message() {
    std::string fallback = ui::load_text(IDS_WAITING, waiting_message_capacity);
    char text[waiting_message_capacity];
    platform::read_profile_string("General", "Message", fallback.c_str(), text, sizeof text,
                                  run::manifest_path.c_str());
    return text;
}

}  // namespace package
