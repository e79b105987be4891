// The entries of plpack build: for each file, whether it travels as a
// patch (when that is smaller than the new file, both SZDD-compressed),
// whole, or as a deletion, made by parallel jobs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "builder/szdd_encoder.h"
#include "package/manifest.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "tools/plpack/build_items.h"
#include "tools/plpack/commands.h"
#if PLUPDATE_HAVE_DIFF
#include "builder/diff.h"
#endif

namespace plpack::build {

namespace {

bool same_content(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Reads the file quietly: a worker's messages are gathered and shown at
// the end.
bool read_for_entry(const std::string& path, std::vector<std::uint8_t>* content, std::string* error) {
    switch (read_file_quietly(path, content)) {
    case read_outcome::read: return true;
    case read_outcome::too_large: *error = too_large_text(shown(path)); break;
    case read_outcome::cannot_read: *error = "cannot read " + shown(path) + reason(); break;
    }
    return false;
}

// The builder's work for one file's entry, in the units of its counters:
// the new file compressed and, for a changed file, the patch made and
// compressed, the patch taken to be as large as the new file.
std::uint64_t planned_work(std::uint64_t old_size, std::uint64_t new_size, bool has_old) {
#if PLUPDATE_HAVE_DIFF
    if (has_old) return new_size + builder::patch_work(old_size, new_size) + new_size;
#else
    (void)old_size;
    (void)has_old;
#endif
    return new_size;
}

// The entry for one file: unchanged (flag 0), a patch, a replacement or a
// deletion, with its compressed content. The builder adds to `work` as it
// goes; returns how much its calls that returned added.
std::uint64_t make_entry(item* it, std::atomic<std::uint64_t>* work) {
    if (it->new_path.empty()) {
        it->flag = package::flag_delete;
        return 0;
    }
    std::vector<std::uint8_t> old_content, new_content;
    if (!read_for_entry(it->new_path, &new_content, &it->error)) return 0;
    it->new_size = new_content.size();
    it->new_sha256 = platform::sha256_hex(new_content.data(), new_content.size());
    if (!it->old_path.empty()) {
        if (!read_for_entry(it->old_path, &old_content, &it->error)) return 0;
        if (same_content(old_content, new_content)) return 0;
    }
    std::uint64_t counted = 0;
    try {
        it->compressed = builder::szdd_compress(new_content, work);
        counted += new_content.size();
        it->flag = package::flag_replace;
#if PLUPDATE_HAVE_DIFF
        if (!it->old_path.empty()) {
            std::vector<std::uint8_t> made = builder::make_patch(old_content, new_content, work);
            counted += builder::patch_work(old_content.size(), new_content.size());
            std::vector<std::uint8_t> patch = builder::szdd_compress(made, work);
            counted += made.size();
            if (patch.size() < it->compressed.size()) {
                it->compressed = std::move(patch);
                it->flag = package::flag_patch;
            }
        }
#endif
    } catch (const std::exception& failure) {
        it->error = "cannot pack " + shown(it->new_path) + ": " + failure.what();
    }
    return counted;
}

}  // namespace

void run_jobs(std::vector<item>* items, unsigned jobs, progress* done, bool quiet) {
    bool terminal = !quiet && platform::error_output_is_terminal();
    // Each item's work as planned from the files' sizes now. An item adds
    // what its plan says in all, whatever the builder counted, so that the
    // progress reaches NEW's size exactly when every item is done.
    std::vector<std::uint64_t> planned(items->size());
    std::uint64_t planned_total = 0, new_total = 0;
    for (std::size_t i = 0; terminal && i < items->size(); ++i) {
        const item& it = (*items)[i];
        if (it.new_path.empty()) continue;
        std::uint64_t new_size = file_size(it.new_path);
        std::uint64_t old_size = it.old_path.empty() ? 0 : file_size(it.old_path);
        planned[i] = planned_work(old_size, new_size, !it.old_path.empty());
        planned_total += planned[i];
        new_total += new_size;
    }

    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < items->size(); i = next++) {
            std::uint64_t counted = make_entry(&(*items)[i], &done->work);
            if (planned[i] > counted) done->work += planned[i] - counted;
            done->bytes += (*items)[i].new_size;
            ++done->files;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs; ++j) threads.emplace_back(worker);

    // NEW's megabytes in proportion to the work done.
    auto show = [&](const char* end) {
        double share = planned_total == 0 ? 1.0
                                          : static_cast<double>(std::min(done->work.load(), planned_total)) /
                                                static_cast<double>(planned_total);
        std::fprintf(stderr, "\rplpack: %zu of %zu files, %.1f of %.1f MB%s", done->files.load(), items->size(),
                     share * static_cast<double>(new_total) / 1e6, static_cast<double>(new_total) / 1e6, end);
    };
    while (done->files < items->size()) {
        if (terminal) show("");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& t : threads) t.join();
    if (terminal) show("\n");
}

}  // namespace plpack::build
