#include "run/room.h"

#include <string>

#include "install/layout.h"
#include "platform/durable.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "ui/strings.h"

namespace run {

namespace {

std::uint64_t size_of(const std::string& path) {
    std::uint64_t size = 0;
    return platform::file_size_of(path.c_str(), &size) ? size : 0;
}

// The expanded length an SZDD file's header gives; 0 when it has none.
std::uint64_t expanded_length(const std::string& path) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    unsigned char header[14];
    std::uint32_t got = 0;
    if (!file.valid() || !platform::read_file(file.get(), header, sizeof header, &got) || got != sizeof header)
        return 0;
    return header[10] | header[11] << 8 | header[12] << 16 | static_cast<std::uint64_t>(header[13]) << 24;
}

std::string in_megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

}  // namespace

std::uint64_t room_needed(const run_context& context) {
    std::uint64_t needed = 0;
    int number = 1;
    for (const install::section_layout& section : install::layout) {
        const char* name = section.manifest_name;
        const std::string& folder = context.folders.folders[section.id];
        int count = context.manifest.section_count(name);
        if (count <= 0) continue;
        if (folder.empty() && !section.always_runs) {
            number += count;
            continue;
        }
        for (; count > 0 && number <= 32766; --count, ++number) {
            std::string destination, compressed;
            int flag = context.manifest.read_entry(name, number, &destination, &compressed);
            if (flag < package::flag_patch || flag > package::flag_replace_alternate) continue;
            std::string sha256;
            unsigned long long size = 0;
            bool sized = flag != package::flag_delete &&
                         context.manifest.read_new_content(name, number, &sha256, &size) ==
                             package::manifest::content_keys::present;
            // The target is looked at only when its size counts: most are
            // new files, and looking for a name that is not there can cost
            // a reading of its whole folder.
            std::uint64_t present = 0;
            if (context.backup || (flag == package::flag_patch && !sized))
                present = size_of(folder + "\\" + destination);
            if (context.backup) needed += present;
            if (flag == package::flag_delete) continue;
            if (sized)
                needed += size;
            else
                needed += flag == package::flag_patch ? present : expanded_length(compressed);
        }
    }
    return needed + needed / 10 + (64u << 10);
}

bool enough_room(const run_context& context) {
    const std::string& app_folder = context.folders.app_folder();
    std::uint64_t free = 0;
    if (!platform::free_space((app_folder + "\\").c_str(), &free)) return true;
    std::uint64_t needed = room_needed(context);
    if (free >= needed) return true;
    std::string drive = app_folder.substr(0, app_folder.find('\\'));
    std::string text = "There is not enough room on drive " + drive + " to update Pelora in " + app_folder + ": " +
                       in_megabytes(needed) + " are needed and " + in_megabytes(free) +
                       " are free. Nothing was changed.";
    platform::message_box(text.c_str(), ui::load_text(context.module, IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
    return false;
}

}  // namespace run
