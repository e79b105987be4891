// plpack verify OLD NEW PACKAGE: the package applied by the updater's own
// file pass to a copy of OLD must give NEW, file for file and byte for byte.
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>

#include "formats/code_page.h"
#include "install/layout.h"
#include "package/manifest.h"
#include "package/work_folder.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "run/file_pass.h"
#include "run/tell.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/usage.h"

namespace plpack {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// Where findings go: printed one a line on standard output, or, with
// --json, kept for the one object printed at the end.
std::vector<std::string>* kept_findings = nullptr;

void finding(const std::string& line) {
    if (kept_findings) kept_findings->push_back(line);
    else std::printf("%s\n", line.c_str());
}

// Compares the files below `result` with those below `expected`, names
// without regard to letter case as on Windows. Prints each difference with
// `label` before the relative path; returns how many there were.
int compare_trees(const std::string& result, const std::string& expected, const std::string& label) {
    tree got, want;
    if (!list_tree(result, &got) || !list_tree(expected, &want)) return 1;
    std::map<std::string, std::string> got_files;
    for (const std::string& f : got.files) got_files.emplace(lower(f), f);
    int differences = 0;
    for (const std::string& f : want.files) {
        auto at = got_files.find(lower(f));
        if (at == got_files.end()) {
            finding("missing: " + label + shown_name(f));
            ++differences;
            continue;
        }
        compare_outcome compared = compare_files(result + "\\" + at->second, expected + "\\" + f);
        if (compared != compare_outcome::same) {
            finding(std::string(compared == compare_outcome::differ ? "differs" : "unreadable") + ": " + label +
                    shown_name(f));
            ++differences;
        }
        got_files.erase(at);
    }
    for (const auto& [key, f] : got_files) {
        finding("unexpected: " + label + shown_name(f));
        ++differences;
    }
    return differences;
}

struct arguments {
    std::string old_folder, new_folder, package_folder, dict_old, dict_new;
    int code_page = formats::default_code_page;
    bool quiet = false, json = false;
    // As a step of release: the findings are kept here, and nothing is
    // printed on standard output.
    std::vector<std::string>* findings = nullptr;
};

// Reads the arguments after "verify"; the problem with them, naming the
// bad one, or empty.
std::string parse(int argc, char** argv, arguments* a) {
    std::vector<std::string> positional;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(folder_argument(argv[i]));
            continue;
        }
        if (arg == "--quiet" || arg == "--json") {
            (arg == "--quiet" ? a->quiet : a->json) = true;
            continue;
        }
        if (arg != "--dict-old" && arg != "--dict-new" && arg != "--code-page") return "unknown option " + arg;
        if (i + 1 >= argc) return arg + " needs a value";
        const char* value = argv[++i];
        if (arg == "--code-page") {
            if (!parse_code_page(value, &a->code_page))
                return "--code-page wants 1250, 1251 or 1252, not '" + std::string(value) + "'";
        } else {
            (arg == "--dict-old" ? a->dict_old : a->dict_new) = folder_argument(value);
        }
    }
    if (positional.size() != 3)
        return "verify takes three folders, OLD NEW PACKAGE, not " + std::to_string(positional.size());
    if (a->dict_old.empty() != a->dict_new.empty())
        return a->dict_old.empty() ? "--dict-new needs --dict-old" : "--dict-old needs --dict-new";
    a->old_folder = positional[0];
    a->new_folder = positional[1];
    a->package_folder = positional[2];
    return {};
}

// What the updater's file pass tells in message boxes while verify runs
// it, by the entry it was working on: verify names the file instead.
struct told {
    int entry;
    std::string text;
};
std::vector<told>* told_so_far = nullptr;
const ui::progress_counters* pass_progress = nullptr;

platform::box_answer record_box(const char* text, const char*, platform::box_buttons buttons) {
    // The pass moves the counter past an entry before working on it.
    if (told_so_far) told_so_far->push_back({pass_progress->current_entry - 1, text});
    return buttons == platform::box_buttons::ok ? platform::box_answer::ok : platform::box_answer::no;
}

// A text of the file pass with the paths of the copies it worked on made
// relative, as the package names its files.
std::string without_copies(std::string text, const std::string& app_copy, const std::string& dictionary_copy) {
    for (const std::string* copy : {&app_copy, &dictionary_copy}) {
        if (copy->empty()) continue;
        std::string prefix = *copy + "\\";
        for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    }
    return shown_name(text);
}

// Applies the package in `work` (manifest and payload already there, the
// payload split) to the copies, as the updater's worker does, and prints
// each entry that failed: its file, and what the pass said or what is not
// in place. Returns the number of entries that failed.
int apply_package(const package::manifest& manifest, const std::string& app_copy,
                  const std::string& dictionary_copy) {
    run::run_context context;
    context.manifest = manifest;
    for (const install::section_layout& section : install::layout)
        context.folders.folders[section.id] = section.folder_name ? app_copy + "\\" + section.folder_name : app_copy;
    context.folders.folders[install::dict_section] = dictionary_copy;
    ui::progress_counters progress;
    std::vector<told> boxes;
    told_so_far = &boxes;
    pass_progress = &progress;
    platform::message_box_handler previous = platform::set_message_box_handler(record_box);
    int failed = run::file_pass(context, &progress);
    platform::set_message_box_handler(previous);
    told_so_far = nullptr;

    // Every entry's outcome, read from the copy: a patched or replaced
    // file holds the manifest's new content, a deleted one is gone.
    int number = 1, named = 0;
    for (const install::section_layout& section : install::layout) {
        const std::string& folder = context.folders.folders[section.id];
        for (int count = manifest.section_count(section.manifest_name); count > 0; --count, ++number) {
            std::string destination, compressed, sha256, said;
            unsigned long long size = 0;
            int flag = manifest.read_entry(section.manifest_name, number, &destination, &compressed);
            for (const told& t : boxes)
                if (t.entry == number)
                    said += (said.empty() ? "" : "; ") + without_copies(t.text, app_copy, dictionary_copy);
            std::string target = folder + "\\" + destination;
            std::string missing;
            if (flag == package::flag_delete) {
                if (platform::file_exists(target.c_str())) missing = "the file was not deleted";
            } else if (flag != 0 && manifest.read_new_content(section.manifest_name, number, &sha256, &size) ==
                                        package::manifest::content_keys::present) {
                std::optional<platform::file_digest> digest = platform::digest_file(target.c_str());
                if (!digest || digest->size != size || digest->sha256 != sha256)
                    missing = "the new content is not in place";
            }
            if (said.empty() && missing.empty()) continue;
            ++named;
            finding("failed: " + std::string(section.id == install::dict_section ? "dictionary: " : "") +
                    shown_name(destination) + " (entry " + std::to_string(number) + ", " + section.manifest_name +
                    "): " +
                    (said.empty() ? missing : missing.empty() ? said : missing + "; the updater said: " + said));
        }
    }
    for (const told& t : boxes)
        if (t.entry >= number)
            finding("failed: the commit: " + without_copies(t.text, app_copy, dictionary_copy));
    return std::max(failed, named);
}

int verify(const arguments& a, const std::string& scratch) {
    const std::pair<const std::string*, const char*> folders[] = {{&a.old_folder, "OLD"},
                                                                   {&a.new_folder, "NEW"},
                                                                   {&a.package_folder, "PACKAGE"},
                                                                   {&a.dict_old, "--dict-old"},
                                                                   {&a.dict_new, "--dict-new"}};
    for (const auto& [folder, what] : folders) {
        std::string issue = folder->empty() ? std::string() : folder_problem(*folder);
        if (!issue.empty()) {
            std::fprintf(stderr, "plpack: the %s folder %s %s\n", what, shown(*folder).c_str(), issue.c_str());
            return 1;
        }
    }
    std::string work = scratch + "work\\";
    std::string app_copy = scratch + "app", dictionary_copy = a.dict_old.empty() ? "" : scratch + "dict";
    std::vector<std::uint8_t> manifest_bytes, payload;
    if (!read_whole_file(a.package_folder + "\\manifest.ini", &manifest_bytes) ||
        !read_whole_file(a.package_folder + "\\payload.bin", &payload))
        return 1;
    if (!copy_tree(a.old_folder, app_copy) || (!a.dict_old.empty() && !copy_tree(a.dict_old, dictionary_copy)))
        return 1;
    if (platform::create_directory(work.c_str()) == platform::create_directory_result::failed ||
        !write_whole_file(work + package::manifest_file_name, manifest_bytes))
        return 1;

    package::manifest manifest{work + package::manifest_file_name, work};
    if (a.dict_old.empty() && manifest.section_count("Dict") > 0) {
        std::fprintf(stderr,
                     "plpack: the package changes dictionary files; give --dict-old and --dict-new to verify it\n");
        return 1;
    }
    package::split_result split =
        package::write_payload_records(payload.data(), static_cast<std::uint32_t>(payload.size()), work, {});
    if (split != package::split_result::written) {
        std::fprintf(stderr, "plpack: the payload of %s cannot be split into its records (%s)\n",
                     shown(a.package_folder).c_str(), run::split_failure_text(split));
        return 1;
    }

    std::vector<std::string> own_findings;
    if (a.json) kept_findings = &own_findings;
    if (a.findings) kept_findings = a.findings;
    int failed = apply_package(manifest, app_copy, dictionary_copy);
    int differences = compare_trees(app_copy, a.new_folder, "");
    if (!a.dict_old.empty()) differences += compare_trees(dictionary_copy, a.dict_new, "dictionary: ");
    kept_findings = nullptr;
    const std::vector<std::string>& findings = a.findings ? *a.findings : own_findings;
    if (a.json && !a.findings) {
        std::printf("{\"ok\": %s, \"failed_entries\": %d, \"differences\": %d, \"findings\": %s}\n",
                    failed == 0 && differences == 0 ? "true" : "false", failed, differences,
                    json_list(findings).c_str());
    }
    if (failed > 0)
        std::fprintf(stderr, "plpack: %d entr%s of the package failed\n", failed, failed == 1 ? "y" : "ies");
    if (differences > 0) {
        std::fprintf(stderr, "plpack: the package does not turn OLD into NEW: %d difference%s\n", differences,
                     differences == 1 ? "" : "s");
        return 1;
    }
    if (failed > 0) return 1;
    if (!a.quiet && !a.json && !a.findings) std::printf("plpack: the package turns OLD into NEW\n");
    return 0;
}

}  // namespace

int verify_step(int argc, char** argv, std::vector<std::string>* findings) {
    arguments a;
    a.findings = findings;
    std::string problem = parse(argc, argv, &a);
    if (!problem.empty()) return usage_error("verify", problem);
    // The file pass spells names as the updater does, in the code page.
    if (!platform::set_ansi_code_page(a.code_page)) {
        std::fprintf(stderr,
                     "plpack: this system spells file names in code page %d, not %d: verify the package where "
                     "the updater will run\n",
                     platform::ansi_code_page(), a.code_page);
        return 1;
    }
    std::string scratch = make_scratch_folder("plpack-verify");
    if (scratch.empty()) {
        std::fputs("plpack: cannot create a scratch folder in the temporary folder\n", stderr);
        return 1;
    }
    int result = verify(a, scratch);
    remove_tree(scratch.substr(0, scratch.size() - 1));
    return result;
}

int command_verify(int argc, char** argv) { return verify_step(argc, argv, nullptr); }

}  // namespace plpack
