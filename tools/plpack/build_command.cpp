// plpack build OLD NEW OUT: the package that turns the installation OLD
// into NEW. Reads the arguments, takes the inventory, makes the status
// file, has the entries made, and writes the manifest and the payload.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "builder/package_writer.h"
#include "formats/code_page.h"
#include "formats/payload.h"
#include "install/locate_application.h"
#include "package/manifest.h"
#include "patch/byte_sum.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tools/plpack/build_items.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/package_output.h"
#include "tools/plpack/usage.h"

namespace plpack {

namespace {

constexpr const char* default_status_template =
    "[Params]\r\n"
    "UpdateText=An update of Pelora (%dk) is ready. Do you want to install it now?\r\n"
    "Success=Pelora has been updated.\r\n"
    "Unknown=This copy of Pelora cannot be updated.\r\n"
    "Failed=Pelora could not be updated.\r\n"
    "LatestPatchAppFolder=PLUpdate\r\n"
    "LatestPatchAppSize=0\r\n"
    "DownloadUrl=\r\n"
    "[VerifyURL]\r\n"
    "Server=\r\n"
    "Page=\r\n"
    "[678]\r\n"
    "Command=temp1.cab\r\n"
    "Folder=0\r\n"
    "NumFiles=0\r\n";

struct options {
    std::string old_folder, new_folder, out_folder;
    std::string dict_old, dict_new;
    std::string status_template;
    long build = -1;
    unsigned jobs = 0;
    int code_page = formats::default_code_page;
    bool quiet = false, json = false;
    bool summary = true;  // false as a step of release, which sums up itself
};

void warn_unless_accepted(const std::string& old_folder) {
    std::string exe = old_folder + "\\" + install::application_exe;
    std::uint32_t sum = 0;
    if (!platform::file_exists(exe.c_str())) {
        std::fprintf(stderr, "plpack: warning: OLD has no %s; the updater finds no build of Pelora to update\n",
                     install::application_exe);
    } else if (!patch::file_byte_sum(exe.c_str(), &sum)) {
        std::fprintf(stderr, "plpack: warning: cannot read %s%s\n", shown(exe).c_str(), reason().c_str());
    } else if (std::find(install::accepted_image_sums.begin(), install::accepted_image_sums.end(), sum) ==
               install::accepted_image_sums.end()) {
        std::fprintf(stderr,
                     "plpack: warning: %s has the byte sum %08x, which is not one the updater accepts; "
                     "the updater will refuse this installation (a test installation made by "
                     "tools/make-installations.py makes an accepted one unless given --exe-sum)\n",
                     shown(exe).c_str(), sum);
    }
}

bool write_status_file(const options& o, const std::string& path) {
    std::vector<std::uint8_t> content;
    if (o.status_template.empty()) {
        content.assign(default_status_template, default_status_template + std::strlen(default_status_template));
    } else if (!read_whole_file(o.status_template, &content)) {
        return false;
    }
    if (!write_whole_file(path, content)) return false;
    if (!platform::read_profile_keys("Status", path.c_str()).empty()) {
        std::fprintf(stderr,
                     "plpack: the status template %s has a [Status] section; the outcome of a run does not "
                     "belong in a package\n",
                     shown(o.status_template).c_str());
        return false;
    }
    if (o.build >= 0) {
        if (!platform::write_profile_string("Build", "version", std::to_string(o.build).c_str(), path.c_str())) {
            std::fprintf(stderr, "plpack: cannot write %s%s\n", shown(path).c_str(), reason().c_str());
            return false;
        }
    } else {
        char version[32];
        if (platform::read_profile_string("Build", "version", "", version, sizeof version, path.c_str()) == 0) {
            std::fprintf(stderr, "plpack: no build number: give --build N or a status template with [Build] version\n");
            return false;
        }
        long number = 0;
        if (!parse_number(version, 0, 0x7FFFFFFF, &number)) {
            std::fprintf(stderr,
                         "plpack: the status template %s has [Build] version=%s, which is not a build number; "
                         "give a whole number from 0 to 2147483647 there, or --build N\n",
                         shown(o.status_template).c_str(), version);
            return false;
        }
    }
    return true;
}

// Reads the arguments after "build"; the problem with them, naming the bad
// one, or empty.
std::string parse(int argc, char** argv, options* o) {
    std::vector<std::string> positional;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a.size() < 2 || a[0] != '-') {
            positional.push_back(folder_argument(argv[i]));
            continue;
        }
        if (a == "--quiet" || a == "--json") {
            (a == "--quiet" ? o->quiet : o->json) = true;
            continue;
        }
        if (a != "--build" && a != "--jobs" && a != "--status" && a != "--dict-old" && a != "--dict-new" &&
            a != "--code-page")
            return "unknown option " + a;
        if (i + 1 >= argc) return a + " needs a value";
        const char* value = argv[++i];
        long number = 0;
        if (a == "--build") {
            if (!parse_number(value, 0, 0x7FFFFFFF, &number))
                return "--build wants a build number from 0 to 2147483647, not '" + std::string(value) + "'";
            o->build = number;
        } else if (a == "--jobs") {
            if (!parse_number(value, 1, 256, &number))
                return "--jobs wants a number of jobs from 1 to 256, not '" + std::string(value) + "'";
            o->jobs = static_cast<unsigned>(number);
        } else if (a == "--code-page") {
            if (!parse_code_page(value, &o->code_page))
                return "--code-page wants 1250, 1251 or 1252, not '" + std::string(value) + "'";
        } else {
            (a == "--status" ? o->status_template : a == "--dict-old" ? o->dict_old : o->dict_new) =
                folder_argument(value);
        }
    }
    if (positional.size() != 3)
        return "build takes three folders, OLD NEW OUT, not " + std::to_string(positional.size());
    if (o->dict_old.empty() != o->dict_new.empty())
        return o->dict_old.empty() ? "--dict-new needs --dict-old" : "--dict-old needs --dict-new";
    o->old_folder = positional[0];
    o->new_folder = positional[1];
    o->out_folder = positional[2];
    return {};
}

std::string thousands(std::uint64_t n) {
    std::string digits = std::to_string(n), result;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) result += ',';
        result += digits[i];
    }
    return result;
}

}  // namespace

namespace {

int build_package(int argc, char** argv, bool summary) {
    options o;
    o.summary = summary;
    std::string problem = parse(argc, argv, &o);
    if (!problem.empty()) return usage_error("build", problem);
    if (!platform::set_ansi_code_page(o.code_page)) {
        std::fprintf(stderr, "plpack: this system spells file names in code page %d, not %d\n",
                     platform::ansi_code_page(), o.code_page);
        return 1;
    }
#if !PLUPDATE_HAVE_DIFF
    std::fputs("plpack: build is part of the host build only (the patch maker is not in this build)\n", stderr);
    return 1;
#endif
    auto started = std::chrono::steady_clock::now();
    if (o.jobs == 0) o.jobs = std::max(1u, std::thread::hardware_concurrency());

    struct side {
        const std::string& folder;
        const char* what;
        bool is_old, is_dictionary;
    };
    const side sides[] = {side{o.old_folder, "OLD", true, false}, side{o.new_folder, "NEW", false, false},
                          side{o.dict_old, "--dict-old", true, true}, side{o.dict_new, "--dict-new", false, true}};
    for (const side& s : sides) {
        std::string issue = s.folder.empty() ? std::string() : folder_problem(s.folder);
        if (!issue.empty()) {
            std::fprintf(stderr, "plpack: the %s folder %s %s\n", s.what, shown(s.folder).c_str(), issue.c_str());
            return 1;
        }
    }

    // A NEW that lacks Pelora's program (an empty or wrong folder) would
    // make a package that deletes it.
    std::string old_exe = o.old_folder + "\\" + install::application_exe;
    std::string new_exe = o.new_folder + "\\" + install::application_exe;
    if (platform::file_exists(old_exe.c_str()) && !platform::file_exists(new_exe.c_str())) {
        std::fprintf(stderr,
                     "plpack: the NEW folder %s has no %s, which OLD has; a package that deletes Pelora's "
                     "program is refused\n",
                     shown(o.new_folder).c_str(), install::application_exe);
        return 1;
    }
    std::vector<input_folder> inputs;
    for (const side& s : sides) inputs.push_back({s.folder, shown(s.folder), s.what});
    std::string out_problem = output_problem(o.out_folder, shown(o.out_folder), inputs);
    if (!out_problem.empty()) {
        std::fprintf(stderr, "plpack: %s\nplpack: no package written\n", out_problem.c_str());
        return 1;
    }

    build::inventory found;
    for (const side& s : sides)
        if (!s.folder.empty() && !build::take_side(s.folder, s.is_old, s.is_dictionary, &found)) return 1;
    build::check_inventory(&found);
    if (!found.problems.empty()) {
        for (const std::string& p : found.problems) std::fprintf(stderr, "plpack: %s\n", p.c_str());
        std::fprintf(stderr, "plpack: no package written\n");
        return 1;
    }
    if (!o.quiet) warn_unless_accepted(o.old_folder);

    // The status file is made first, in a scratch folder, so that a template
    // it cannot take stops the build before the long part.
    std::string scratch = make_scratch_folder("plpack-build");
    if (scratch.empty()) {
        std::fputs("plpack: cannot create a scratch folder in the temporary folder\n", stderr);
        return 1;
    }
    std::vector<std::uint8_t> status;
    bool status_made = write_status_file(o, scratch + "status.ini") && read_whole_file(scratch + "status.ini", &status);
    remove_tree(scratch.substr(0, scratch.size() - 1));
    if (!status_made) return 1;

    build::progress done;
    build::run_jobs(&found.items, o.jobs, &done, o.quiet);

    std::vector<builder::manifest_entry> entries;
    std::vector<const build::item*> entry_items;
    int by_flag[4] = {};
    // Within a section, entries follow their destinations' order.
    for (const auto& [key, index] : found.index) {
        const build::item& it = found.items[index];
        if (!it.error.empty()) {
            found.problems.push_back(it.error);
            continue;
        }
        if (it.flag == 0) {
            ++by_flag[0];
            continue;
        }
        std::optional<std::string> problem = builder::destination_problem(it.destination);
        if (problem) found.problems.push_back(it.new_path + ": " + *problem);
        ++by_flag[it.flag];
        entries.push_back({it.section, it.flag, it.destination, it.new_sha256, it.new_size});
        entry_items.push_back(&it);
    }
    if (entries.size() > static_cast<std::size_t>(builder::max_manifest_entries))
        found.problems.push_back("the update has " + std::to_string(entries.size()) +
                                 " entries; a manifest holds at most " +
                                 std::to_string(builder::max_manifest_entries));
    if (entries.empty()) found.problems.push_back("OLD and NEW hold the same files; there is nothing to update");

    std::vector<std::uint8_t> payload;
    try {
        for (std::size_t i : builder::manifest_order(entries))
            if (entries[i].flag != package::flag_delete)
                formats::append_payload_record(&payload, entry_items[i]->compressed);
    } catch (const std::length_error& failure) {
        found.problems.push_back(failure.what());
    }
    if (!found.problems.empty()) {
        for (const std::string& p : found.problems) std::fprintf(stderr, "plpack: %s\n", p.c_str());
        std::fprintf(stderr, "plpack: no package written\n");
        return 1;
    }

    std::string manifest = builder::manifest_text(entries);
    std::vector<std::uint8_t> manifest_bytes(manifest.begin(), manifest.end());
    if (!write_package_folder(o.out_folder, shown(o.out_folder),
                              {{"status.ini", &status}, {"manifest.ini", &manifest_bytes}, {"payload.bin", &payload}}))
        return 1;

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::size_t records = entries.size() - static_cast<std::size_t>(by_flag[package::flag_delete]);
    // What the package saves against sending the new and changed files
    // whole.
    std::uint64_t carried = 0;
    for (const build::item* it : entry_items)
        if (it->flag != package::flag_delete) carried += it->new_size;
    double payload_bytes = static_cast<double>(payload.size()), carried_bytes = static_cast<double>(carried);
    double saved = carried > 0 ? 100.0 * (1.0 - payload_bytes / carried_bytes) : 0.0;
    if (!o.summary) return 0;
    if (o.json) {
        std::printf("{\"package\": %s, \"entries\": {\"total\": %zu, \"patched\": %d, \"replaced\": %d, "
                    "\"deleted\": %d, \"unchanged\": %d}, \"payload_bytes\": %zu, \"records\": %zu, "
                    "\"new_bytes\": %llu, \"new_and_changed_bytes\": %llu, \"saved_percent\": %.1f, "
                    "\"seconds\": %.1f, \"jobs\": %u}\n",
                    json_string(shown(o.out_folder)).c_str(), entries.size(), by_flag[package::flag_patch],
                    by_flag[package::flag_replace], by_flag[package::flag_delete], by_flag[0], payload.size(),
                    records, static_cast<unsigned long long>(done.bytes.load()),
                    static_cast<unsigned long long>(carried), saved, seconds, o.jobs);
        return 0;
    }
    if (o.quiet) return 0;
    std::printf("plpack: package written to %s\n", shown(o.out_folder).c_str());
    std::printf("  entries: %zu (%d patched, %d replaced, %d deleted); %d files unchanged\n", entries.size(),
                by_flag[package::flag_patch], by_flag[package::flag_replace], by_flag[package::flag_delete],
                by_flag[0]);
    std::printf("  payload: %s bytes in %zu records; NEW holds %s bytes\n", thousands(payload.size()).c_str(),
                records, thousands(done.bytes).c_str());
    std::printf("  download: %.2f MB of payload for %.2f MB of new and changed files: %.2f MB (%.1f%%) saved\n",
                payload_bytes / 1e6, carried_bytes / 1e6, (carried_bytes - payload_bytes) / 1e6, saved);
    std::printf("  time: %.1f s with %u job%s\n", seconds, o.jobs, o.jobs == 1 ? "" : "s");
    return 0;
}

}  // namespace

int command_build(int argc, char** argv) { return build_package(argc, argv, true); }
int build_step(int argc, char** argv) { return build_package(argc, argv, false); }

}  // namespace plpack
