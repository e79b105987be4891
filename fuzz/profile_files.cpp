// The profile reader and writer on any file content. Every key the key
// listing finds reads back as a value that fits the buffer given, cut
// values being the first characters of the whole one; and a value written
// reads back as written while every other key of the file keeps its value.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/profile.h"

namespace {

// The names that open sections, as the lines "[name]" give them.
std::vector<std::string> section_names(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> names;
    std::string line;
    auto take = [&] {
        std::size_t open = line.find('['), close = line.find(']');
        if (open != std::string::npos && close != std::string::npos && close > open)
            names.push_back(line.substr(open + 1, close - open - 1));
        line.clear();
    };
    for (std::uint8_t b : bytes) {
        if (b == '\n' || b == '\r')
            take();
        else if (b != 0)
            line.push_back(static_cast<char>(b));
    }
    take();
    return names;
}

std::string read_whole(const char* section, const char* key, const std::string& file) {
    std::vector<char> buffer(70000);
    int n = platform::read_profile_string(section, key, "", buffer.data(), static_cast<int>(buffer.size()),
                                          file.c_str());
    fuzz::require(n >= 0 && n < static_cast<int>(buffer.size()) && buffer[static_cast<std::size_t>(n)] == '\0',
                  "a value does not fit the buffer it was read into");
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

using values = std::map<std::pair<std::string, std::string>, std::string>;

values every_value(const std::vector<std::string>& sections, const std::string& file) {
    values all;
    for (const std::string& section : sections)
        for (const std::string& key : platform::read_profile_keys(section.c_str(), file.c_str()))
            all.emplace(std::make_pair(section, key), read_whole(section.c_str(), key.c_str(), file));
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::scratch_folder place;
    if (size > 60000) return 0;
    std::string file = place.folder + "fuzz.ini";
    fuzz::require(fuzz::write_file_bytes(file, {data, size}), "cannot write the profile");

    std::vector<std::string> sections = section_names({data, size});
    values before = every_value(sections, file);
    for (const auto& [where, whole] : before) {
        char small[8];
        for (int capacity = 1; capacity <= 8; capacity += 3) {
            int n = platform::read_profile_string(where.first.c_str(), where.second.c_str(), "", small, capacity,
                                                  file.c_str());
            fuzz::require(n >= 0 && n <= capacity - 1 && small[n] == '\0', "a cut value overruns its buffer");
            fuzz::require(whole.compare(0, static_cast<std::size_t>(n), small, static_cast<std::size_t>(n)) == 0,
                          "a cut value is not the start of the whole one");
        }
        platform::read_profile_int(where.first.c_str(), where.second.c_str(), 0, file.c_str());
    }

    // A plain value written under a plain key: into the file's first plain
    // section when it has one, else into a section of its own.
    std::string section = "Written";
    for (const std::string& name : sections) {
        bool plain = !name.empty();
        for (char c : name) plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
        if (plain) {
            section = name;
            break;
        }
    }
    std::string value;
    for (std::size_t i = 0; i < size && value.size() < 40; ++i)
        if ((data[i] >= '0' && data[i] <= '9') || (data[i] >= 'a' && data[i] <= 'z')) value.push_back(static_cast<char>(data[i]));
    if (value.empty()) value = "v";
    const std::string key = "FuzzWrittenKey";
    if (!platform::write_profile_string(section.c_str(), key.c_str(), value.c_str(), file.c_str())) return 0;
    fuzz::require(read_whole(section.c_str(), key.c_str(), file) == value, "a written value does not read back");

    sections.push_back(section);
    values after = every_value(sections, file);
    for (const auto& [where, old_value] : before) {
        if (where.first == section && where.second == key) continue;
        auto now = after.find(where);
        fuzz::require(now != after.end() && now->second == old_value, "a write changed another key's value");
    }
    return 0;
}
