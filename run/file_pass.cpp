#include "run/file_pass.h"

#include <cstdint>

#include "install/folder_map.h"
#include "install/layout.h"
#include "package/manifest.h"
#include "patch/apply_patch.h"
#include "patch/expand.h"
#include "patch/file_record.h"
#include "platform/files.h"
#include "run/backup.h"
#include "run/tell.h"

namespace run {

namespace {

bool fits(const std::string& path) { return path.size() < entry_path_capacity; }

void back_up_if_on(const run_context& context, const std::string& target, const std::string& destination) {
    if (context.backup) back_up(context.backup_folder, target, destination);
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
bool patch_entry(const run_context& context, const std::string& compressed, const std::string& target,
                 const std::string& destination) {
    std::string patch_path = compressed + "_";
    std::string output_path = target + "Temp";
    if (!fits(patch_path) || !fits(output_path)) return false;
    if (patch::expand(compressed.c_str(), patch_path.c_str()) != patch::expand_result::ok) return false;

    back_up_if_on(context, target, destination);
    patch::file_record patch_file{patch_path}, old_file{target}, output{output_path};
    patch::patch_result result = patch::apply_patch(&patch_file, &old_file, &output);
    tell_patch_result(context.module, result, output.path);
    if (result != patch::patch_result::verified) return false;
    bool placed = take_place(output_path, target);
    platform::delete_file(patch_path.c_str());
    return placed;
}

// Flags 2 and 4: the compressed file holds the new file. Whatever goes
// wrong, the target is left alone and no output stays behind.
bool replace_entry(const run_context& context, const std::string& compressed, const std::string& target,
                   const std::string& destination) {
    std::string output_path = target + "Temp";
    if (!fits(output_path)) return false;
    back_up_if_on(context, target, destination);
    if (patch::expand(compressed.c_str(), output_path.c_str()) == patch::expand_result::ok &&
        take_place(output_path, target))
        return true;
    platform::delete_file(output_path.c_str());
    return false;
}

// Flag 3. A file that is not there is as good as deleted.
bool delete_entry(const run_context& context, const std::string& target, const std::string& destination) {
    back_up_if_on(context, target, destination);
    platform::set_file_attributes_normal(target.c_str());
    return platform::delete_file(target.c_str()) || !platform::file_exists(target.c_str());
}

// Acts on one entry; false when it failed.
bool apply_entry(const run_context& context, const std::string& folder, int flag, const std::string& destination,
                 const std::string& compressed) {
    if (flag != package::flag_patch && flag != package::flag_replace && flag != package::flag_delete &&
        flag != package::flag_replace_alternate)
        return true;  // no action: the entry number is used up

    std::string target = folder + "\\" + destination;
    if (!install::stays_inside(destination) || !fits(target)) return false;
    if (flag == package::flag_delete) return delete_entry(context, target, destination);

    // The compressed file must be one of the work folder's own.
    std::string name = compressed.substr(context.manifest.compressed_folder.size());
    if (!install::stays_inside(name) || !fits(compressed)) return false;
    if (flag == package::flag_patch) return patch_entry(context, compressed, target, destination);
    return replace_entry(context, compressed, target, destination);
}

// The folders that the section's entries expect (the Data, PSFonts and
// Symbols entries).
void prepare_section_folder(install::section section, const std::string& folder) {
    if (folder.empty()) return;
    for (const install::made_folder& made : install::folders_made_by_file_pass)
        if (made.in == section)
            platform::create_directory((*made.subfolder ? folder + "\\" + made.subfolder : folder).c_str());
}

}  // namespace

int file_pass(const run_context& context, ui::progress_counters* progress) {
    auto set_counter = [progress](int number) { progress->current_entry = static_cast<std::int16_t>(number); };
    int failures = 0;
    int number = 1;
    set_counter(number);
    for (const install::section_layout& section : install::layout) {
        const char* name = section.manifest_name;
        const std::string& folder = context.folders.folders[section.id];
        prepare_section_folder(section.id, folder);

        int count = context.manifest.section_count(name);
        if (count <= 0) continue;
        if (folder.empty() && !section.always_runs) {
            // Skipped whole; the next section's entries still follow these.
            number += count;
            set_counter(number);
            continue;
        }
        for (; count > 0; --count) {
            std::string destination, compressed;
            int flag = context.manifest.read_entry(name, number, &destination, &compressed);
            set_counter(++number);
            if (!apply_entry(context, folder, flag, destination, compressed)) ++failures;
        }
    }
    return failures;
}

}  // namespace run
