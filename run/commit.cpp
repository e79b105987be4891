#include "run/commit.h"

#include <cstdlib>
#include <set>

#include "platform/durable.h"
#include "platform/files.h"
#include "run/backup.h"

namespace run {

namespace {

std::string journal_path(const std::string& app_folder) { return app_folder + "\\" + journal_name; }

std::string folder_of(const std::string& path) {
    std::size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool write_text(const std::string& path, const std::string& text) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
    if (!file.valid()) return false;
    std::uint32_t written = 0;
    bool done = platform::write_file(file.get(), text.data(), static_cast<std::uint32_t>(text.size()), &written) &&
                written == text.size();
    file.reset();
    return done && platform::flush_file(path.c_str());
}

std::string read_text(const std::string& path) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!file.valid()) return {};
    std::uint32_t size = platform::get_file_size(file.get());
    if (size == 0xFFFFFFFFu || size > (64u << 20)) return {};
    std::string text(size, '\0');
    std::uint32_t got = 0;
    if (!platform::read_file(file.get(), text.data(), size, &got)) return {};
    text.resize(got);
    return text;
}

std::string journal_text(const commit_plan& plan) {
    std::string text = "PLUpdate journal 1\r\nfailed\t" + std::to_string(plan.failures) + "\r\n";
    for (const commit_step& step : plan.steps)
        text += step.staged.empty() ? "delete\t" + step.target + "\r\n"
                                    : "move\t" + step.staged + "\t" + step.target + "\r\n";
    return text + "end\r\n";
}

// Reads a journal back; false when it is cut short or not one.
bool parse_journal(const std::string& text, commit_plan* plan) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;  // a last line without its end is cut short
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    bool complete = !lines.empty() && lines.back() == "end";
    if (lines.empty() || lines.front() != "PLUpdate journal 1") return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::size_t tab = line.find('\t');
        std::string word = line.substr(0, tab);
        std::string rest = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        if (word == "failed") {
            plan->failures = std::atoi(rest.c_str());
        } else if (word == "move") {
            std::size_t split = rest.find('\t');
            if (split == std::string::npos) continue;
            plan->steps.push_back({rest.substr(0, split), rest.substr(split + 1)});
        } else if (word == "delete" && !rest.empty()) {
            plan->steps.push_back({{}, rest});
        }
    }
    return complete;
}

// Whether the target was read-only and is no longer: a move over it or its
// deletion is then tried again. Most targets are new files or writable,
// so their attributes are only looked at when the first try failed.
bool cleared_read_only(const std::string& target) {
    return platform::is_read_only(target.c_str()) && platform::set_file_attributes_normal(target.c_str());
}

// One step; a step already done counts as done. A move that fails drops
// its staging file unless `keep` (a finishing that a later run retries).
// A staging file that is gone was moved when finishing; in a first sweep
// it went some other way, and its target did not get the new content.
bool do_step(const commit_step& step, bool keep) {
    const char* target = step.target.c_str();
    if (step.staged.empty()) {
        if (platform::delete_file(target) || (cleared_read_only(step.target) && platform::delete_file(target)))
            return true;
        return !platform::file_exists(target);
    }
    if (!platform::file_exists(step.staged.c_str())) return keep;
    const char* staged = step.staged.c_str();
    if (platform::replace_file_durably(staged, target) ||
        (cleared_read_only(step.target) && platform::replace_file_durably(staged, target)))
        return true;
    if (!keep) platform::delete_file(staged);
    return false;
}

// Does every step. When finishing, a step that fails keeps its staging
// file and the journal, for the next run to try again.
int sweep(const std::string& app_folder, const commit_plan& plan, bool finishing) {
    int failures = plan.failures;
    std::set<std::string> folders;
    for (const commit_step& step : plan.steps) {
        if (!do_step(step, finishing)) ++failures;
        folders.insert(folder_of(step.target));
        platform::kill_point();
    }
    for (const std::string& folder : folders) platform::sync_folder(folder.c_str());
    if (finishing && failures > plan.failures) return failures;
    promote_copies(app_folder + "\\Backup\\");
    std::string journal = journal_path(app_folder);
    platform::delete_file(journal.c_str());
    platform::sync_folder(app_folder.c_str());
    return failures;
}

}  // namespace

void discard(const commit_plan& plan) {
    for (const commit_step& step : plan.steps)
        if (!step.staged.empty()) platform::delete_file(step.staged.c_str());
}

int commit(const std::string& app_folder, const commit_plan& plan) {
    std::string journal = journal_path(app_folder);
    if (!write_text(journal, journal_text(plan)) || !platform::sync_folder(app_folder.c_str())) {
        platform::delete_file(journal.c_str());
        discard(plan);
        return plan.failures + static_cast<int>(plan.steps.size());
    }
    platform::kill_point();
    return sweep(app_folder, plan, false);
}

journal_found finish_journal(const std::string& app_folder, int* failures) {
    std::string journal = journal_path(app_folder);
    if (!platform::file_exists(journal.c_str())) return journal_found::none;
    commit_plan plan;
    if (!parse_journal(read_text(journal), &plan)) {
        discard(plan);
        platform::delete_file(journal.c_str());
        return journal_found::none;
    }
    *failures = sweep(app_folder, plan, true);
    return *failures > plan.failures ? journal_found::unfinished : journal_found::finished;
}

}  // namespace run
