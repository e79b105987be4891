#include "run/entry_job.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "install/layout.h"
#include "patch/file_record.h"
#include "platform/durable.h"
#include "platform/ui.h"
#include "run/backup.h"
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

// Whether a digest is that of the content the manifest promises.
bool is_new_content(const entry_job& job, const std::optional<platform::file_digest>& digest) {
    return digest && digest->size == job.size && digest->sha256 == job.sha256;
}

// Whether the file at `path` holds the content the manifest promises; its
// size is looked at first, as a digest reads the whole file.
bool holds_new_content(const entry_job& job, const std::string& path) {
    std::uint64_t size = 0;
    if (!platform::file_size_of(path.c_str(), &size) || size != job.size) return false;
    return is_new_content(job, platform::digest_file(path.c_str()));
}

// Checks staged content against the manifest's size and digest (when it
// has them), by the digest taken while it was written or else by reading
// it; a mismatch removes the staging file and says which file.
bool staged_content_checks(const run_context& context, const entry_job& job) {
    if (job.keys == package::manifest::content_keys::none) return true;
    if (job.digest ? is_new_content(job, platform::finish_digest(job.digest.get()))
                   : holds_new_content(job, job.staged))
        return true;
    platform::delete_file(job.staged.c_str());
    std::string text = "The new content of " + job.target +
                       " is not what the update package says it must be; the "
                       "file was left as it was.";
    platform::message_box(text.c_str(), ui::load_text(context.module, IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
    return false;
}

// Leaves a patch that did not apply in the work folder, at `path`, as a
// patch expanded into a file would stay there.
void leave_patch(const std::string& path, std::span<const std::uint8_t> patch) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
    std::uint32_t written = 0;
    if (file.valid()) platform::write_file(file.get(), patch.data(), static_cast<std::uint32_t>(patch.size()), &written);
}

// A digest of the staged content as it is written, when the manifest has
// one to check it against.
platform::unique_digest_stream digest_if_checked(const entry_job& job) {
    return job.keys == package::manifest::content_keys::none ? nullptr : platform::begin_digest();
}

// The staging file of a patched or replaced entry, and its target's backup;
// `work` is what then makes its content. Flag 1 (patching): the compressed
// file holds a binary patch of the target, expanded and applied later.
// Flags 2 and 4 (expansion): it holds the new file, and the staging file
// stays open from its creation to the end of the expansion into it.
void begin_staged(const run_context& context, entry_work work, entry_job* job) {
    if (work == entry_work::patching) job->patch_path = job->compressed + "_";
    if ((work == entry_work::patching && !fits(job->patch_path)) ||
        !fits(job->target + staging_marker + "0123456789abcdef-99999")) {
        job->failed = true;
        return;
    }
    job->staged =
        make_staging_file(job->target, job->number, work == entry_work::expansion ? &job->staging : nullptr);
    if (job->staged.empty()) {
        job->failed = true;
        return;
    }
    if (!back_up_if_on(context, job->target, job->destination)) {
        job->staging.reset();
        platform::delete_file(job->staged.c_str());
        job->failed = true;
        return;
    }
    job->digest = digest_if_checked(*job);
    job->work = work;
}

}  // namespace

void begin_entry(const run_context& context, const std::string& folder, std::string* swept_folders, entry_job* job) {
    if (job->flag != package::flag_patch && job->flag != package::flag_replace && job->flag != package::flag_delete &&
        job->flag != package::flag_replace_alternate)
        return;  // no action: the entry number is used up

    job->target = folder + "\\" + job->destination;
    if (!install::stays_inside(job->destination) || !fits(job->target)) {
        job->failed = true;
        return;
    }
    remove_stale_staging(job->target, swept_folders);
    if (job->flag == package::flag_delete) {
        if (back_up_if_on(context, job->target, job->destination))
            job->work = entry_work::deletion;
        else
            job->failed = true;
        return;
    }

    // The compressed file must be one of the work folder's own.
    std::string name = job->compressed.substr(context.manifest.compressed_folder.size());
    if (!install::stays_inside(name) || !fits(job->compressed) ||
        job->keys == package::manifest::content_keys::malformed) {
        job->failed = true;
        return;
    }
    // A target that holds the new content already is done: nothing is
    // staged, and no backup copy replaces the one of its older content.
    if (job->keys == package::manifest::content_keys::present && holds_new_content(*job, job->target)) return;
    begin_staged(context, job->flag == package::flag_patch ? entry_work::patching : entry_work::expansion, job);
}

void make_content(entry_job* job) {
    if (job->work == entry_work::expansion) {
        job->expanded = patch::expand_into(job->compressed.c_str(), &job->staging, job->digest.get());
    } else if (job->work == entry_work::patching) {
        // The patch is applied from memory: it is written to the work
        // folder only when it fails.
        std::vector<std::uint8_t> patch_bytes;
        job->expanded = patch::expand_to_memory(job->compressed.c_str(), &patch_bytes);
        if (job->expanded != patch::expand_result::ok) return;
        patch::file_record old_file{job->target}, output{job->staged};
        job->applied = patch::apply_patch(patch_bytes, &old_file, &output, job->digest.get());
        if (job->applied != patch::patch_result::verified) leave_patch(job->patch_path, patch_bytes);
    }
}

bool finish_entry(const run_context& context, entry_job* job, commit_plan* plan) {
    if (job->work == entry_work::nothing) return !job->failed;
    if (job->work == entry_work::deletion) {
        plan->steps.push_back({{}, job->target});
        return true;
    }
    bool made = job->expanded == patch::expand_result::ok;
    if (made && job->work == entry_work::patching) {
        tell_patch_result(context.module, job->applied, job->staged);
        made = job->applied == patch::patch_result::verified;
    }
    if (!made) {
        platform::delete_file(job->staged.c_str());
        return false;
    }
    if (!staged_content_checks(context, *job)) return false;
    platform::start_flush(job->staged.c_str());
    plan->steps.push_back({job->staged, job->target});
    return true;
}

}  // namespace run
