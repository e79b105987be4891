// plpack verify OLD NEW PACKAGE: the package applied by the updater's own
// file pass to a copy of OLD must give NEW, file for file and byte for byte.
#include <cstdio>
#include <map>

#include "install/layout.h"
#include "package/manifest.h"
#include "package/work_folder.h"
#include "platform/files.h"
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
            std::printf("missing: %s%s\n", label.c_str(), f.c_str());
            ++differences;
            continue;
        }
        compare_outcome compared = compare_files(result + "\\" + at->second, expected + "\\" + f);
        if (compared != compare_outcome::same) {
            std::printf("%s: %s%s\n", compared == compare_outcome::differ ? "differs" : "unreadable", label.c_str(),
                        f.c_str());
            ++differences;
        }
        got_files.erase(at);
    }
    for (const auto& [key, f] : got_files) {
        std::printf("unexpected: %s%s\n", label.c_str(), f.c_str());
        ++differences;
    }
    return differences;
}

struct arguments {
    std::string old_folder, new_folder, package_folder, dict_old, dict_new;
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
        if (arg != "--dict-old" && arg != "--dict-new") return "unknown option " + arg;
        if (i + 1 >= argc) return arg + " needs a value";
        (arg == "--dict-old" ? a->dict_old : a->dict_new) = folder_argument(argv[++i]);
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

// Applies the package in `work` (manifest and payload already there, the
// payload split) to the copies, as the updater's worker does. Returns the
// number of entries that failed.
int apply_package(const package::manifest& manifest, const std::string& app_copy,
                  const std::string& dictionary_copy) {
    run::run_context context;
    context.manifest = manifest;
    for (const install::section_layout& section : install::layout)
        context.folders.folders[section.id] = section.folder_name ? app_copy + "\\" + section.folder_name : app_copy;
    context.folders.folders[install::dict_section] = dictionary_copy;
    ui::progress_counters progress;
    return run::file_pass(context, &progress);
}

int verify(const arguments& a, const std::string& scratch) {
    for (const std::string* folder : {&a.old_folder, &a.new_folder, &a.package_folder, &a.dict_old, &a.dict_new})
        if (!folder->empty() && !folder_exists(*folder)) {
            std::fprintf(stderr, "plpack: the folder %s does not exist or cannot be listed\n", folder->c_str());
            return 1;
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
                     a.package_folder.c_str(), run::split_failure_text(split));
        return 1;
    }

    int failed = apply_package(manifest, app_copy, dictionary_copy);
    int differences = compare_trees(app_copy, a.new_folder, "");
    if (!a.dict_old.empty()) differences += compare_trees(dictionary_copy, a.dict_new, "dictionary: ");
    if (failed > 0)
        std::fprintf(stderr, "plpack: %d entr%s of the package failed\n", failed, failed == 1 ? "y" : "ies");
    if (differences > 0) {
        std::fprintf(stderr, "plpack: the package does not turn OLD into NEW: %d difference%s\n", differences,
                     differences == 1 ? "" : "s");
        return 1;
    }
    if (failed > 0) return 1;
    std::printf("plpack: the package turns OLD into NEW\n");
    return 0;
}

}  // namespace

int command_verify(int argc, char** argv) {
    arguments a;
    std::string problem = parse(argc, argv, &a);
    if (!problem.empty()) return usage_error("verify", problem);
    std::string scratch = make_scratch_folder("plpack-verify");
    if (scratch.empty()) {
        std::fputs("plpack: cannot create a scratch folder in the temporary folder\n", stderr);
        return 1;
    }
    int result = verify(a, scratch);
    remove_tree(scratch.substr(0, scratch.size() - 1));
    return result;
}

}  // namespace plpack
