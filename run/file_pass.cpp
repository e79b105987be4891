#include "run/file_pass.h"

#include <cstdint>
#include <initializer_list>

#include "install/folder_map.h"
#include "install/layout.h"
#include "package/manifest.h"
#include "patch/apply_patch.h"
#include "patch/expand.h"
#include "patch/file_record.h"
#include "platform/files.h"
#include "run/backup.h"
#include "run/run_state.h"
#include "ui/progress.h"

namespace run {

namespace {

bool fits(const std::string& path) { return path.size() < entry_path_capacity; }

void back_up_if_on(const std::string& target, const std::string& destination) {
    if (backup_mode) back_up(target, destination);
}

// Puts the new content at `made` in the target's place in one step. A
// read-only target is made writable first; a target that does not exist
// is simply created.
bool take_place(const std::string& made, const std::string& target) {
    platform::set_file_attributes_normal(target.c_str());
    return platform::replace_file(made.c_str(), target.c_str());
}

// Flag 1: the compressed file holds a binary patch of the target. A patch
// that fails leaves its output beside the target (a checksum mismatch names
// it in RegLog.txt); the target stays as it was.
bool patch_entry(const std::string& compressed, const std::string& target, const std::string& destination) {
    std::string patch_path = compressed + "_";
    std::string output_path = target + "Temp";
    if (!fits(patch_path) || !fits(output_path)) return false;
    if (patch::expand(compressed.c_str(), patch_path.c_str()) != patch::expand_ok) return false;

    back_up_if_on(target, destination);
    patch::file_record patch_file{patch_path}, old_file{target}, output{output_path};
    if (patch::apply_patch(&patch_file, &old_file, &output) != 0) return false;
    bool placed = take_place(output_path, target);
    platform::delete_file(patch_path.c_str());
    return placed;
}

// Flags 2 and 4: the compressed file holds the new file. Whatever goes
// wrong, the target is left alone and no output stays behind.
bool replace_entry(const std::string& compressed, const std::string& target, const std::string& destination) {
    std::string output_path = target + "Temp";
    if (!fits(output_path)) return false;
    back_up_if_on(target, destination);
    if (patch::expand(compressed.c_str(), output_path.c_str()) == patch::expand_ok &&
        take_place(output_path, target))
        return true;
    platform::delete_file(output_path.c_str());
    return false;
}

// Flag 3. A file that is not there is as good as deleted.
bool delete_entry(const std::string& target, const std::string& destination) {
    back_up_if_on(target, destination);
    platform::set_file_attributes_normal(target.c_str());
    return platform::delete_file(target.c_str()) || !platform::file_exists(target.c_str());
}

// Acts on one entry; false when it failed.
bool apply_entry(const std::string& folder, int flag, const std::string& destination,
                 const std::string& compressed) {
    if (flag != package::flag_patch && flag != package::flag_replace && flag != package::flag_delete &&
        flag != package::flag_replace_alternate)
        return true;  // no action: the entry number is used up

    std::string target = folder + "\\" + destination;
    if (!install::stays_inside(destination) || !fits(target)) return false;
    if (flag == package::flag_delete) return delete_entry(target, destination);

    // The compressed file must be one of the work folder's own.
    std::string name = compressed.substr(work_folder_path.size());
    if (!install::stays_inside(name) || !fits(compressed)) return false;
    if (flag == package::flag_patch) return patch_entry(compressed, target, destination);
    return replace_entry(compressed, target, destination);
}

void create_folders(const std::string& folder, std::initializer_list<const char*> subfolders) {
    for (const char* sub : subfolders) platform::create_directory((folder + sub).c_str());
}

// The folders that the Data, PSFonts and Symbols entries expect.
void prepare_section_folder(std::size_t section, const std::string& folder) {
    if (folder.empty()) return;
    switch (section) {
    case install::data_section:
        create_folders(folder, {"", "\\GIS DATA FILES", "\\GIS DATA FILES\\CSV", "\\GIS DATA FILES\\NADCON",
                                "\\GIS DATA FILES\\NADCON\\win"});
        break;
    case install::psfonts_section:
        create_folders(folder, {"\\cmaps"});
        break;
    case install::symbols_section:
        create_folders(folder, {"", "\\Base Symbols", "\\GIS Symbols"});
        break;
    default:
        break;
    }
}

void set_counter(int number) { ui::current_entry = static_cast<std::int16_t>(number); }

}  // namespace

int file_pass() {
    int failures = 0;
    int number = 1;
    set_counter(number);
    for (std::size_t section = 0; section < install::section_count; ++section) {
        const char* name = install::layout[section].manifest_name;
        const std::string& folder = install::section_folders[section];
        prepare_section_folder(section, folder);

        int count = package::section_count(name);
        if (count <= 0) continue;
        bool always = section == install::core_section || section == install::tools_section;
        if (folder.empty() && !always) {
            // Skipped whole; the next section's entries still follow these.
            number += count;
            set_counter(number);
            continue;
        }
        for (; count > 0; --count) {
            std::string destination, compressed;
            int flag = package::read_entry(name, number, &destination, &compressed);
            set_counter(++number);
            if (!apply_entry(folder, flag, destination, compressed)) ++failures;
        }
    }
    return failures;
}

}  // namespace run
