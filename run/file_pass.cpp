#include "run/file_pass.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <thread>
#include <vector>

#include "install/folder_map.h"
#include "install/layout.h"
#include "platform/durable.h"
#include "platform/files.h"
#include "platform/in_parallel.h"
#include "run/commit.h"
#include "run/entry_job.h"

namespace run {

namespace {

// How many entries have their content made at once.
std::size_t content_threads() {
    unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : std::min(hardware, 4u);
}

// Entries are begun, made and finished this many at a time.
constexpr std::size_t window_size = 64;

// Makes the new content of the begun entries, the largest first, on a few
// threads; then finishes them in entry order, moving the progress counter
// past each entry as it is finished, so that what it tells comes while
// the counter names it.
void make_and_finish(const run_context& context, std::deque<entry_job>* jobs, commit_plan* plan,
                     ui::progress_counters* progress) {
    std::vector<entry_job*> work;
    for (entry_job& job : *jobs)
        if (job.work == entry_work::expansion || job.work == entry_work::patching) work.push_back(&job);
    std::stable_sort(work.begin(), work.end(),
                     [](const entry_job* a, const entry_job* b) { return a->size > b->size; });
    platform::in_parallel(work.size(), content_threads(), [&](std::size_t i) { make_content(work[i]); });
    for (entry_job& job : *jobs) {
        progress->current_entry = static_cast<std::int16_t>(job.number + 1);
        if (!finish_entry(context, &job, plan)) ++plan->failures;
        platform::kill_point();
    }
    jobs->clear();
}

// Puts the staged data on the disk, all of it, before the first change.
// An entry whose data could not be flushed fails: its staging file goes
// and its target stays as it was.
void flush_staged(commit_plan* plan) {
    std::vector<std::string> staged;
    for (const commit_step& step : plan->steps)
        if (!step.staged.empty()) staged.push_back(step.staged);
    std::vector<bool> flushed = platform::flush_files(staged);
    std::vector<commit_step> kept;
    std::size_t next = 0;
    for (commit_step& step : plan->steps) {
        if (!step.staged.empty() && !flushed[next++]) {
            platform::delete_file(step.staged.c_str());
            ++plan->failures;
            continue;
        }
        kept.push_back(std::move(step));
    }
    plan->steps = std::move(kept);
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
    std::deque<entry_job> jobs;
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
            make_and_finish(context, &jobs, &plan, progress);
            number += count;
            set_counter(number);
            continue;
        }
        for (; count > 0; --count) {
            entry_job& job = jobs.emplace_back();
            job.number = number;
            job.flag = context.manifest.read_entry(name, number, &job.destination, &job.compressed);
            if (job.flag != package::flag_delete && job.flag != 0)
                job.keys = context.manifest.read_new_content(name, number, &job.sha256, &job.size);
            ++number;
            begin_entry(context, folder, &swept_folders, &job);
            if (jobs.size() == window_size) make_and_finish(context, &jobs, &plan, progress);
        }
    }
    make_and_finish(context, &jobs, &plan, progress);
    flush_staged(&plan);
    return commit(context.folders.app_folder(), plan);
}

}  // namespace run
