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

// The entry for one file: unchanged (flag 0), a patch, a replacement or a
// deletion, with its compressed content.
void make_entry(item* it) {
    if (it->new_path.empty()) {
        it->flag = package::flag_delete;
        return;
    }
    std::vector<std::uint8_t> old_content, new_content;
    if (!read_for_entry(it->new_path, &new_content, &it->error)) return;
    it->new_size = new_content.size();
    it->new_sha256 = platform::sha256_hex(new_content.data(), new_content.size());
    if (!it->old_path.empty()) {
        if (!read_for_entry(it->old_path, &old_content, &it->error)) return;
        if (same_content(old_content, new_content)) return;
    }
    try {
        it->compressed = builder::szdd_compress(new_content);
        it->flag = package::flag_replace;
#if PLUPDATE_HAVE_DIFF
        if (!it->old_path.empty()) {
            std::vector<std::uint8_t> patch = builder::szdd_compress(builder::make_patch(old_content, new_content));
            if (patch.size() < it->compressed.size()) {
                it->compressed = std::move(patch);
                it->flag = package::flag_patch;
            }
        }
#endif
    } catch (const std::exception& failure) {
        it->error = "cannot pack " + shown(it->new_path) + ": " + failure.what();
    }
}

}  // namespace

void run_jobs(std::vector<item>* items, unsigned jobs, progress* done, bool quiet) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < items->size(); i = next++) {
            make_entry(&(*items)[i]);
            done->bytes += (*items)[i].new_size;
            ++done->files;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs; ++j) threads.emplace_back(worker);

    bool terminal = !quiet && platform::error_output_is_terminal();
    while (done->files < items->size()) {
        if (terminal)
            std::fprintf(stderr, "\rplpack: %zu of %zu files, %.1f MB", done->files.load(), items->size(),
                         static_cast<double>(done->bytes.load()) / 1e6);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& t : threads) t.join();
    if (terminal)
        std::fprintf(stderr, "\rplpack: %zu of %zu files, %.1f MB\n", done->files.load(), items->size(),
                     static_cast<double>(done->bytes.load()) / 1e6);
}

}  // namespace plpack::build
