#include "package/manifest_check.h"

#include <cstdlib>
#include <set>

#include "platform/profile.h"

namespace package {

namespace {

// The longest File<N>Dest and File<N>CAB the file pass keeps whole.
constexpr std::size_t longest_text = entry_text_capacity - 1;
// Room to tell a value that is too long from one that fits.
constexpr int probe_capacity = 1024;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// The key's value, at most probe_capacity - 1 characters of it; missing
// keys read as empty. The section is read once and kept, as the file pass
// reads it, so that a check of many entries reads the file once.
std::string read_value(const char* section, const std::string& key, const std::string& file) {
    char text[probe_capacity];
    auto keys = platform::read_profile_section(section, file.c_str());
    int n = platform::section_string(*keys, key.c_str(), "", text, sizeof text);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

// A whole decimal number in `text`, or nothing for anything else.
bool parse_number(const std::string& text, long long* value) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0') return false;
    *value = v;
    return true;
}

// k of a name "temp<k>.cab" (any letter case), or 0 for any other name.
long long split_number(const std::string& name) {
    std::string n = lower(name);
    if (n.size() < 9 || n.compare(0, 4, "temp") != 0 || n.compare(n.size() - 4, 4, ".cab") != 0) return 0;
    std::string digits = n.substr(4, n.size() - 8);
    if (digits.empty() || digits.size() > 9 || digits[0] == '0') return 0;
    for (char c : digits)
        if (c < '0' || c > '9') return 0;
    return std::atoll(digits.c_str());
}

std::string entry_name(const char* section, int number) {
    return std::string("[") + section + "] entry " + std::to_string(number);
}

}  // namespace

std::vector<std::string> check_manifest(const manifest& m, std::span<const char* const> sections, int records) {
    std::vector<std::string> found;
    long long total = 0;
    std::string total_text = read_value("General", "TotalFiles", m.path);
    if (total_text.empty()) {
        found.push_back("its manifest has no TotalFiles");
        return found;
    }
    if (!parse_number(total_text, &total) || total < 1 || total > most_entries) {
        found.push_back("its manifest's TotalFiles is " + total_text + ", not a count from 1 to " +
                        std::to_string(most_entries));
        return found;
    }

    std::vector<int> counts;
    long long sum = 0;
    for (const char* section : sections) {
        std::string text = read_value(section, "NumFiles", m.path);
        long long count = 0;
        if (!text.empty() && (!parse_number(text, &count) || count < 0 || count > total)) {
            found.push_back(std::string("[") + section + "] NumFiles is " + text + ", not a count from 0 to " +
                            std::to_string(total));
            count = 0;
        }
        counts.push_back(static_cast<int>(count));
        sum += count;
    }
    if (!found.empty()) return found;
    if (sum != total) {
        found.push_back("its sections' NumFiles add up to " + std::to_string(sum) + ", but TotalFiles is " +
                        std::to_string(total));
        return found;
    }

    std::set<long long> used;
    int number = 1;
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const char* section = sections[s];
        for (int i = 0; i < counts[s]; ++i, ++number) {
            const std::string key = "File" + std::to_string(number);
            std::string flag_text = read_value(section, key + "Flag", m.path);
            long long flag = 0;
            if (flag_text.empty()) {
                found.push_back(entry_name(section, number) + " has no flag");
                continue;
            }
            if (!parse_number(flag_text, &flag) || flag < flag_patch || flag > flag_replace_alternate) {
                found.push_back(entry_name(section, number) + " has flag " + flag_text + ", not one of 1 to 4");
                continue;
            }
            std::string destination = read_value(section, key + "Dest", m.path);
            if (destination.empty())
                found.push_back(entry_name(section, number) + " has no destination");
            else if (destination.size() > longest_text)
                found.push_back(entry_name(section, number) + " has a destination longer than " +
                                std::to_string(longest_text) + " characters");
            if (flag == flag_delete) continue;
            std::string cab = read_value(section, key + "CAB", m.path);
            long long k = split_number(cab);
            if (cab.empty()) {
                found.push_back(entry_name(section, number) + " names no compressed file");
            } else if (k < 2 || (records != any_records && k > static_cast<long long>(records) + 1)) {
                found.push_back(entry_name(section, number) + " names " +
                                (cab.size() > longest_text ? cab.substr(0, longest_text) + "..." : cab) +
                                ", which the package does not hold");
            } else if (!used.insert(k).second) {
                found.push_back(entry_name(section, number) + " names " + cab +
                                ", which an earlier entry already uses");
            }
        }
    }
    return found;
}

std::string damaged_package_text(const std::string& finding) {
    return "The update package is damaged: " + finding + ".";
}

}  // namespace package
