#include "run/file_pass.h"

#include <cstdint>
#include <optional>

#include "install/folder_map.h"
#include "install/layout.h"
#include "package/manifest.h"
#include "patch/apply_patch.h"
#include "patch/expand.h"
#include "patch/file_record.h"
#include "platform/digest.h"
#include "platform/durable.h"
#include "platform/ui.h"
#include "platform/files.h"
#include "run/backup.h"
#include "run/commit.h"
#include "run/staging.h"
#include "run/tell.h"
#include "ui/strings.h"

namespace run {

namespace {

bool fits(const std::string& path) { return path.size() < entry_path_capacity; }

// False when the entry is to fail: its backup copy could not be made.
bool back_up_if_on(const run_context& context, const std::string& target, const std::string& destination) {
    return !context.backup || back_up(context.backup_folder, target, destination);
}

// What the preparation of one entry needs besides the entry itself.
struct preparation {
    commit_plan* plan;
    std::string* swept_folders;
    int number;
    const char* section;
    // The manifest's size and digest of the new content, when it has them.
    package::manifest::content_keys keys;
    std::string sha256;
    unsigned long long size;
};

// Whether a digest is that of the content the manifest promises.
bool is_new_content(const preparation& at, const std::optional<platform::file_digest>& digest) {
    return digest && digest->size == at.size && digest->sha256 == at.sha256;
}

// Whether the file at `path` holds the content the manifest promises; its
// size is looked at first, as a digest reads the whole file.
bool holds_new_content(const preparation& at, const std::string& path) {
    std::uint64_t size = 0;
    if (!platform::file_size_of(path.c_str(), &size) || size != at.size) return false;
    return is_new_content(at, platform::digest_file(path.c_str()));
}

// A digest of the staged content as it is written, when the manifest has
// one to check it against.
platform::unique_digest_stream digest_if_checked(const preparation& at) {
    return at.keys == package::manifest::content_keys::none ? nullptr : platform::begin_digest();
}

// Checks staged content against the manifest's size and digest (when it
// has them), by the digest taken while it was written or else by reading
// it; a mismatch removes the staging file and says which file.
bool staged_content_checks(const run_context& context, const preparation& at, const std::string& staged,
                           const std::string& target, platform::digest_stream* written) {
    if (at.keys == package::manifest::content_keys::none) return true;
    if (written ? is_new_content(at, platform::finish_digest(written)) : holds_new_content(at, staged)) return true;
    platform::delete_file(staged.c_str());
    std::string text = "The new content of " + target +
                       " is not what the update package says it must be; the file was left as it was.";
    platform::message_box(text.c_str(), ui::load_text(context.module, IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
    return false;
}

// Flag 1: the compressed file holds a binary patch of the target, applied
// into a staging file. A patch that fails names its output in RegLog.txt
// and the output goes; the target stays as it was.
bool patch_entry(const run_context& context, const std::string& compressed, const std::string& target,
                 const std::string& destination, const preparation& at) {
    std::string patch_path = compressed + "_";
    if (!fits(patch_path) || !fits(target + staging_marker + "0123456789abcdef-99999")) return false;
    if (patch::expand(compressed.c_str(), patch_path.c_str()) != patch::expand_result::ok) return false;
    std::string staged = make_staging_file(target, at.number);
    if (staged.empty()) {
        platform::delete_file(patch_path.c_str());
        return false;
    }

    if (!back_up_if_on(context, target, destination)) {
        platform::delete_file(staged.c_str());
        return false;
    }
    patch::file_record patch_file{patch_path}, old_file{target}, output{staged};
    platform::unique_digest_stream digest = digest_if_checked(at);
    patch::patch_result result = patch::apply_patch(&patch_file, &old_file, &output, digest.get());
    tell_patch_result(context.module, result, output.path);
    if (result != patch::patch_result::verified) {
        platform::delete_file(staged.c_str());
        return false;
    }
    platform::delete_file(patch_path.c_str());
    if (!staged_content_checks(context, at, staged, target, digest.get())) return false;
    platform::start_flush(staged.c_str());
    at.plan->steps.push_back({staged, target});
    return true;
}

// Flags 2 and 4: the compressed file holds the new file, expanded into a
// staging file. Whatever goes wrong, no staging file stays behind.
bool replace_entry(const run_context& context, const std::string& compressed, const std::string& target,
                   const std::string& destination, const preparation& at) {
    if (!fits(target + staging_marker + "0123456789abcdef-99999")) return false;
    // The staging file stays open from its creation to the end of the
    // expansion into it.
    platform::unique_file staging;
    std::string staged = make_staging_file(target, at.number, &staging);
    if (staged.empty()) return false;
    if (!back_up_if_on(context, target, destination)) {
        staging.reset();
        platform::delete_file(staged.c_str());
        return false;
    }
    platform::unique_digest_stream digest = digest_if_checked(at);
    if (patch::expand_into(compressed.c_str(), &staging, digest.get()) != patch::expand_result::ok) {
        platform::delete_file(staged.c_str());
        return false;
    }
    if (!staged_content_checks(context, at, staged, target, digest.get())) return false;
    platform::start_flush(staged.c_str());
    at.plan->steps.push_back({staged, target});
    return true;
}

// Flag 3: the deletion is left to the commit.
bool delete_entry(const run_context& context, const std::string& target, const std::string& destination,
                  const preparation& at) {
    if (!back_up_if_on(context, target, destination)) return false;
    at.plan->steps.push_back({{}, target});
    return true;
}

// Prepares one entry; false when it failed.
bool prepare_entry(const run_context& context, const std::string& folder, int flag, const std::string& destination,
                   const std::string& compressed, const preparation& at) {
    if (flag != package::flag_patch && flag != package::flag_replace && flag != package::flag_delete &&
        flag != package::flag_replace_alternate)
        return true;  // no action: the entry number is used up

    std::string target = folder + "\\" + destination;
    if (!install::stays_inside(destination) || !fits(target)) return false;
    remove_stale_staging(target, at.swept_folders);
    if (flag == package::flag_delete) return delete_entry(context, target, destination, at);

    // The compressed file must be one of the work folder's own.
    std::string name = compressed.substr(context.manifest.compressed_folder.size());
    if (!install::stays_inside(name) || !fits(compressed)) return false;
    if (at.keys == package::manifest::content_keys::malformed) return false;
    // A target that holds the new content already is done: nothing is
    // staged, and no backup copy replaces the one of its older content.
    if (at.keys == package::manifest::content_keys::present && holds_new_content(at, target)) return true;
    if (flag == package::flag_patch) return patch_entry(context, compressed, target, destination, at);
    return replace_entry(context, compressed, target, destination, at);
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
    commit_plan plan;
    std::string swept_folders;
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
            preparation at{&plan, &swept_folders, number, name, {}, {}, 0};
            if (flag != package::flag_delete && flag != 0)
                at.keys = context.manifest.read_new_content(name, number, &at.sha256, &at.size);
            set_counter(++number);
            if (!prepare_entry(context, folder, flag, destination, compressed, at)) ++plan.failures;
            platform::kill_point();
        }
    }
    // The staged data reaches the disk, all of it, before the first change.
    std::vector<std::string> staged;
    for (const commit_step& step : plan.steps)
        if (!step.staged.empty()) staged.push_back(step.staged);
    platform::flush_files(staged);
    return commit(context.folders.app_folder(), plan);
}

}  // namespace run
