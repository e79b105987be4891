#include "tools/plpack/manifest_command.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "install/layout.h"
#include "package/manifest.h"
#include "package/manifest_check.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/plpack/commands.h"

namespace plpack {

namespace {

// The longest text the updater keeps from File<N>Dest and File<N>CAB.
constexpr std::size_t kept_length = package::entry_text_capacity - 1;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

struct problems {
    int count = 0;

    [[gnu::format(printf, 2, 3)]] void report(const char* format, ...) {
        ++count;
        std::va_list args;
        va_start(args, format);
        std::fputs("plpack: ", stderr);
        std::vfprintf(stderr, format, args);
        std::fputc('\n', stderr);
        va_end(args);
    }
};

// The entry number of a key "File<N>Flag", "File<N>Dest", "File<N>CAB",
// "File<N>SHA256" or "File<N>Size"
// spelt as the updater builds it (N in decimal without leading zeros);
// 0 for any other key.
int entry_number_of(const std::string& key) {
    std::string k = lower(key);
    if (k.compare(0, 4, "file") != 0) return 0;
    std::size_t end = 4;
    while (end < k.size() && k[end] >= '0' && k[end] <= '9') ++end;
    std::size_t digits = end - 4;
    if (digits == 0 || digits > 9 || k[4] == '0') return 0;
    std::string suffix = k.substr(end);
    if (suffix != "flag" && suffix != "dest" && suffix != "cab" && suffix != "sha256" && suffix != "size") return 0;
    return std::stoi(k.substr(4, digits));
}

// The whole value, however long, to tell what the updater would cut.
std::size_t full_length(const char* section, const char* key, const std::string& file) {
    std::vector<char> text(1 << 16);
    return static_cast<std::size_t>(platform::read_profile_string(section, key, "", text.data(),
                                                                  static_cast<int>(text.size()), file.c_str()));
}

std::string range_text(int first, int last) {
    if (last < first) return "the section has no entries";
    return "its entries are " + std::to_string(first) + "-" + std::to_string(last);
}

// The section's keys that the updater never reads: unknown names,
// entries outside the section's numbers, and second copies of a key.
void check_keys(const char* section, int first, int last, const std::string& file, problems* found) {
    std::set<std::string> seen;
    std::map<int, std::string> outside;  // entry number -> its keys
    for (const std::string& key : platform::read_profile_keys(section, file.c_str())) {
        if (!seen.insert(lower(key)).second) {
            found->report("[%s] key %s appears more than once; the updater reads only the first", section,
                          key.c_str());
            continue;
        }
        if (lower(key) == "numfiles") continue;
        int number = entry_number_of(key);
        if (number == 0) {
            found->report("[%s] key %s is not one the updater reads", section, key.c_str());
        } else if (number < first || number > last) {
            std::string& keys = outside[number];
            keys += (keys.empty() ? "" : ", ") + key;
        }
    }
    for (const auto& [number, keys] : outside)
        found->report("[%s] entry %d (%s) lies outside the section: %s", section, number, keys.c_str(),
                      range_text(first, last).c_str());
}

struct cab_use {
    const char* section;
    int number;
};

}  // namespace

int command_manifest(const std::string& path) {
    if (!platform::file_exists(path.c_str())) {
        if (folder_exists(path))
            std::fprintf(stderr, "plpack: %s is a folder, not a file\n", shown(path).c_str());
        else
            std::fprintf(stderr, "plpack: cannot read %s%s\n", shown(path).c_str(), reason().c_str());
        return 1;
    }
    // The updater's own reading, with compressed files named bare.
    const package::manifest manifest{path, ""};

    problems found;
    std::map<std::string, cab_use> cabs;  // lower-case name -> first entry naming it
    int next = 1, sum = 0, by_flag[5] = {};
    std::printf("%-10s %5s %4s  %-32s %s\n", "Section", "Entry", "Flag", "Destination", "Compressed file");
    for (const install::section_layout& layout : install::layout) {
        const char* section = layout.manifest_name;
        int count = manifest.section_count(section);
        if (count < 0) {
            found.report("[%s] NumFiles is %d; the section has no entries", section, count);
            count = 0;
        }
        if (count > package::most_entries) {
            found.report("[%s] NumFiles is %d; a manifest holds at most %d entries", section, count,
                         package::most_entries);
            count = 0;
        }
        int first = next, last = next + count - 1;
        next += count;
        sum += count;
        std::set<std::string> keys;
        for (const std::string& key : platform::read_profile_keys(section, path.c_str())) keys.insert(lower(key));

        for (int number = first; number <= last; ++number) {
            std::string flag_key = "File" + std::to_string(number) + "Flag";
            std::string dest_key = "File" + std::to_string(number) + "Dest";
            std::string cab_key = "File" + std::to_string(number) + "CAB";
            std::string destination, cab;
            int flag = manifest.read_entry(section, number, &destination, &cab);
            bool has_flag = keys.count(lower(flag_key)) != 0;
            bool needs_cab = flag == package::flag_patch || flag == package::flag_replace ||
                             flag == package::flag_replace_alternate;
            std::printf("%-10s %5d %4s  %-32s %s\n", section, number, has_flag ? std::to_string(flag).c_str() : "-",
                        destination.c_str(), !needs_cab ? "-" : cab.empty() ? "(missing)" : cab.c_str());

            if (!has_flag) {
                found.report("[%s] entry %d: %s is missing", section, number, flag_key.c_str());
                continue;
            }
            if (flag < 1 || flag > 4) {
                found.report("[%s] entry %d: flag %d is not one of 1-4; the updater does nothing with it", section,
                             number, flag);
                continue;
            }
            ++by_flag[flag];
            std::string sha256;
            unsigned long long size = 0;
            if (needs_cab && manifest.read_new_content(section, number, &sha256, &size) ==
                                 package::manifest::content_keys::malformed)
                found.report("[%s] entry %d: File%dSHA256 and File%dSize must both be there, 64 hex digits and a size",
                             section, number, number, number);
            if (destination.empty())
                found.report("[%s] entry %d: %s is missing or empty", section, number, dest_key.c_str());
            else if (std::size_t length = full_length(section, dest_key.c_str(), path); length > kept_length)
                found.report("[%s] entry %d: %s has %d characters; the updater keeps only the first %d", section,
                             number, dest_key.c_str(), static_cast<int>(length), static_cast<int>(kept_length));
            if (!needs_cab) continue;
            if (cab.empty()) {
                found.report("[%s] entry %d: flag %d needs a compressed file, but %s is missing or empty", section,
                             number, flag, cab_key.c_str());
                continue;
            }
            if (std::size_t length = full_length(section, cab_key.c_str(), path); length > kept_length)
                found.report("[%s] entry %d: %s has %d characters; the updater keeps only the first %d", section,
                             number, cab_key.c_str(), static_cast<int>(length), static_cast<int>(kept_length));
            auto [earlier, added] = cabs.emplace(lower(cab), cab_use{section, number});
            if (!added)
                found.report("[%s] entry %d: compressed file %s is already the one of [%s] entry %d", section,
                             number, cab.c_str(), earlier->second.section, earlier->second.number);
        }
        check_keys(section, first, last, path, &found);
    }

    char total_text[32];
    bool has_total = platform::read_profile_string("General", "TotalFiles", "", total_text, sizeof total_text,
                                                   path.c_str()) > 0;
    int total = manifest.total_entries();
    std::printf("TotalFiles: %s\n", has_total ? std::to_string(total).c_str() : "missing");
    std::printf("NumFiles add up to %d: %d patched, %d replaced, %d deleted\n", sum, by_flag[package::flag_patch],
                by_flag[package::flag_replace] + by_flag[package::flag_replace_alternate],
                by_flag[package::flag_delete]);
    if (!has_total)
        found.report("[General] TotalFiles is missing; the updater would find no files in the update");
    else if (total != sum)
        found.report("[General] TotalFiles is %d, but the sections' NumFiles add up to %d", total, sum);

    // The updater's own check, which refuses the whole package on any of these.
    std::vector<const char*> sections;
    for (const install::section_layout& layout : install::layout) sections.push_back(layout.manifest_name);
    for (const std::string& finding : package::check_manifest(manifest, sections, package::any_records))
        found.report("the updater refuses the package: %s", finding.c_str());

    if (found.count > 0) {
        std::fprintf(stderr, "plpack: %s: %d problem%s found\n", shown(path).c_str(), found.count,
                     found.count == 1 ? "" : "s");
        return 1;
    }
    return 0;
}

}  // namespace plpack
