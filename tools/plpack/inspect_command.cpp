// plpack inspect PACKAGE-or-UPDATER: the build number, the manifest's
// entries and the payload's records of a package folder (status.ini,
// manifest.ini, payload.bin) or of a built updater that carries one; of an
// updater also its size, the command it relaunches Pelora with and the
// builds it accepts.
#include <cstdio>
#include <map>

#include "formats/payload.h"
#include "formats/szdd.h"
#include "install/layout.h"
#include "install/locate_application.h"
#include "package/manifest.h"
#include "platform/profile.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/embedded_package.h"
#include "tools/plpack/pe_resources.h"
#include "tools/plpack/version_resource.h"

namespace plpack {

namespace {

using bytes = std::vector<std::uint8_t>;

struct record {
    std::uint32_t size = 0;
    bool szdd = false;
    std::uint32_t expanded = 0;
    bool named = false;
};

// The records by their file names ("temp2.cab" upward, lower case); false
// when the last record is cut short.
bool read_records(const bytes& payload, std::map<std::string, record>* records) {
    std::size_t position = 0;
    std::span<const std::uint8_t> content;
    formats::record_read read;
    int k = 2;
    while ((read = formats::next_payload_record(payload, &position, &content)) == formats::record_read::record) {
        record r;
        r.size = static_cast<std::uint32_t>(content.size());
        formats::szdd_header header;
        r.szdd = formats::parse_szdd_header(content, &header) && header.mode == 'A';
        if (r.szdd) r.expanded = header.expanded_length;
        records->emplace("temp" + std::to_string(k++) + ".cab", r);
    }
    return read == formats::record_read::end;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// The flag as the manifest has it, with what it makes the updater do.
std::string flag_text(int flag) {
    const char* name = flag == package::flag_patch                                               ? "patch"
                       : flag == package::flag_replace || flag == package::flag_replace_alternate ? "replace"
                       : flag == package::flag_delete                                             ? "delete"
                                                                                                  : "none";
    return std::to_string(flag) + " " + name;
}

// Lists what the package in `folder` (status.ini, manifest.ini, payload
// bytes given) holds, as a table, or with `json` given as the fields
// "build", "entries", "records" and "payload_bytes" appended to *json;
// 0 when its manifest and payload agree.
int list_package(const std::string& folder, const bytes& payload, std::string* json) {
    std::string status = folder + "status.ini";
    const package::manifest manifest{folder + "manifest.ini", ""};
    int problems = 0;

    char build[32];
    bool has_build = platform::read_profile_string("Build", "version", "", build, sizeof build, status.c_str()) > 0;
    if (json) *json += "\"build\": " + (has_build ? json_string(build) : std::string("null"));
    else std::printf("Build: %s\n", has_build ? build : "(none: the status file has no [Build] version)");

    std::map<std::string, record> records;
    if (!read_records(payload, &records)) {
        if (json) *json += ", \"payload_cut_short\": true";
        else std::printf("Payload: %zu bytes; its last record is cut short\n", payload.size());
        ++problems;
    }

    std::string json_entries;
    if (!json) std::printf("%-10s %5s %-9s  %-32s %-12s %10s %10s\n", "Section", "Entry", "Flag", "Destination",
                "Compressed", "Bytes", "Expanded");
    int number = 1, by_flag[5] = {};
    for (const install::section_layout& layout : install::layout) {
        const char* section = layout.manifest_name;
        for (int count = manifest.section_count(section); count > 0; --count, ++number) {
            std::string destination, cab;
            int flag = manifest.read_entry(section, number, &destination, &cab);
            if (flag >= 1 && flag <= 4) ++by_flag[flag];
            // What the entry names, checked once for both listings.
            bool carries = flag >= 1 && flag <= 4 && flag != package::flag_delete;
            auto at = carries ? records.find(lower(cab)) : records.end();
            record* held = at != records.end() ? &at->second : nullptr;
            if (held) held->named = true;
            std::string sha256;
            unsigned long long size = 0;
            using content_keys = package::manifest::content_keys;
            content_keys content =
                held ? manifest.read_new_content(section, number, &sha256, &size) : content_keys::none;
            if (carries && (!held || !held->szdd)) ++problems;
            if (content == content_keys::malformed) ++problems;

            if (json) {
                json_entries += std::string(json_entries.empty() ? "" : ", ") +
                                "{\"section\": " + json_string(section) + ", \"entry\": " + std::to_string(number) +
                                ", \"flag\": " + std::to_string(flag) +
                                ", \"action\": " + json_string(flag_text(flag).substr(2)) +
                                ", \"destination\": " + json_string(shown_name(destination));
                if (carries) json_entries += ", \"compressed\": " + json_string(cab);
                if (carries && !held) json_entries += ", \"record\": null";
                if (held)
                    json_entries += ", \"bytes\": " + std::to_string(held->size) + ", \"expanded\": " +
                                    (held->szdd ? std::to_string(held->expanded) : "null");
                if (content == content_keys::present)
                    json_entries +=
                        ", \"new_size\": " + std::to_string(size) + ", \"new_sha256\": " + json_string(sha256);
                if (content == content_keys::malformed) json_entries += ", \"new_content\": \"malformed\"";
                json_entries += "}";
                continue;
            }
            if (!carries) {
                std::printf("%-10s %5d %-9s  %-32s %-12s\n", section, number, flag_text(flag).c_str(),
                            shown_name(destination).c_str(), "-");
            } else if (!held) {
                std::printf("%-10s %5d %-9s  %-32s %-12s %10s\n", section, number, flag_text(flag).c_str(),
                            shown_name(destination).c_str(), cab.c_str(), "(no record)");
            } else {
                std::printf("%-10s %5d %-9s  %-32s %-12s %10u %10s\n", section, number, flag_text(flag).c_str(),
                            shown_name(destination).c_str(), cab.c_str(), held->size,
                            held->szdd ? std::to_string(held->expanded).c_str() : "not SZDD");
            }
            if (content == content_keys::present)
                std::printf("%-10s %5s %-9s  new content: %llu bytes, SHA-256 %s\n", "", "", "", size, sha256.c_str());
            if (content == content_keys::malformed)
                std::printf("%-10s %5s %-9s  new content: File%dSHA256 or File%dSize is missing or malformed\n", "",
                            "", "", number, number);
        }
    }
    std::uint64_t record_bytes = 0;
    std::string json_records;
    for (const auto& [name, r] : records) {
        record_bytes += r.size;
        if (json)
            json_records += std::string(json_records.empty() ? "" : ", ") + "{\"name\": " + json_string(name) +
                            ", \"bytes\": " + std::to_string(r.size) + ", \"named\": " +
                            (r.named ? "true" : "false") + "}";
        if (!r.named) {
            if (!json) std::printf("Record %s (%u bytes) is named by no entry\n", name.c_str(), r.size);
            ++problems;
        }
    }
    if (json) {
        *json += ", \"entries\": [" + json_entries + "], \"total_files\": " +
                 std::to_string(manifest.total_entries()) + ", \"records\": [" + json_records +
                 "], \"payload_bytes\": " + std::to_string(payload.size());
    } else {
        std::printf("Entries: %d (%d patched, %d replaced, %d deleted); TotalFiles %d\n", number - 1,
                    by_flag[package::flag_patch],
                    by_flag[package::flag_replace] + by_flag[package::flag_replace_alternate],
                    by_flag[package::flag_delete], manifest.total_entries());
        std::printf("Payload: %zu bytes, %zu records holding %llu bytes\n", payload.size(), records.size(),
                    static_cast<unsigned long long>(record_bytes));
    }
    if (manifest.total_entries() != number - 1) ++problems;
    if (json) *json += ", \"problems\": " + std::to_string(problems);
    if (problems > 0) {
        std::fprintf(stderr, "plpack: the manifest and the payload disagree (%d problem%s)\n", problems,
                     problems == 1 ? "" : "s");
        return 1;
    }
    return 0;
}

// The byte sums of the installed Pelora9.exe that the updater accepts, as
// this source builds it; the 0xff slots belong to no build.
std::string accepted_builds_json() {
    std::vector<std::string> sums;
    for (std::uint32_t sum : install::accepted_image_sums) {
        if (sum == 0xff) continue;
        char text[16];
        std::snprintf(text, sizeof text, "%08x", sum);
        sums.push_back(text);
    }
    return json_list(sums);
}

void print_accepted_builds() {
    std::string sums;
    int builds = 0, free_slots = 0;
    for (std::uint32_t sum : install::accepted_image_sums) {
        if (sum == 0xff) {
            ++free_slots;
            continue;
        }
        char text[16];
        std::snprintf(text, sizeof text, " %08x", sum);
        sums += text;
        ++builds;
    }
    std::printf("Updater accepts %d builds, Pelora9.exe byte sums:%s (%d free slots)\n", builds, sums.c_str(),
                free_slots);
}

}  // namespace

int command_inspect(const std::string& path, bool as_json) {
    std::string json_text;
    std::string* json = as_json ? &json_text : nullptr;
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (folder_exists(folder)) {
        bytes payload, status, manifest;
        if (!read_whole_file(folder + "\\status.ini", &status) ||
            !read_whole_file(folder + "\\manifest.ini", &manifest) ||
            !read_whole_file(folder + "\\payload.bin", &payload))
            return 1;
        if (json) {
            json_text = "{\"package_folder\": " + json_string(shown(folder)) + ", ";
            int result = list_package(folder + "\\", payload, json);
            std::printf("%s}\n", json_text.c_str());
            return result;
        }
        std::printf("Package folder %s\nstatus.ini: %zu bytes\nmanifest.ini: %zu bytes\n", shown(folder).c_str(),
                    status.size(), manifest.size());
        return list_package(folder + "\\", payload, nullptr);
    }

    bytes image;
    if (!read_whole_file(path, &image)) return 1;
    embedded_package package;
    std::string problem;
    if (!find_embedded_package(image, &package, &problem)) {
        std::fprintf(stderr, "plpack: %s carries no update package: %s\n", shown(path).c_str(), problem.c_str());
        return 1;
    }
    std::string scratch = make_scratch_folder("plpack-inspect");
    if (scratch.empty()) {
        std::fputs("plpack: cannot create a scratch folder in the temporary folder\n", stderr);
        return 1;
    }
    int result = 1;
    if (write_whole_file(scratch + "status.ini", bytes(package.status.begin(), package.status.end())) &&
        write_whole_file(scratch + "manifest.ini", bytes(package.manifest.begin(), package.manifest.end()))) {
        char command[1024];
        std::string status = scratch + "status.ini";
        bool has_command =
            platform::read_profile_string("General", "Command", "", command, sizeof command, status.c_str()) > 0;
        if (json) {
            json_text = "{\"updater\": " + json_string(shown(path)) + ", \"updater_bytes\": " +
                        std::to_string(image.size()) + ", \"relaunch_command\": " +
                        (has_command ? json_string(command) : std::string("null")) +
                        ", \"accepted_byte_sums\": " + accepted_builds_json() + ", ";
            result = list_package(scratch, bytes(package.payload.begin(), package.payload.end()), json);
            std::printf("%s}\n", json_text.c_str());
        } else {
            std::printf("Updater %s\n", shown(path).c_str());
            std::vector<std::uint8_t> version = version_resource(image);
            if (!version.empty())
                std::printf("Version resource: %s %s, product %s %s\n",
                            version_string(version, "FileDescription").c_str(),
                            version_string(version, "FileVersion").c_str(),
                            version_string(version, "ProductName").c_str(),
                            version_string(version, "ProductVersion").c_str());
            std::printf("Updater size: %zu bytes\n", image.size());
            std::printf("Updater relaunch command: %s\n",
                        has_command ? command : "(none: the status file has no [General] Command)");
            print_accepted_builds();
            std::printf("status.ini: %zu bytes\nmanifest.ini: %zu bytes\n", package.status.size(),
                        package.manifest.size());
            result = list_package(scratch, bytes(package.payload.begin(), package.payload.end()), nullptr);
        }
    }
    remove_tree(scratch.substr(0, scratch.size() - 1));
    return result;
}

}  // namespace plpack
