#include "pass_fixture.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace pass_testing {

const char* const section_subfolders[install::section_count] = {
    "",       "Pelora Tools", "User",     "Pelora Filters", "Dictionaries", "Extras",
    "Color Inks", "PLServer", "DATA", "Wizards",        "PSFonts",      "Symbols",
};

install::folder_map section_folders_under(const std::string& app) {
    install::folder_map map;
    for (std::size_t s = 0; s < install::section_count; ++s)
        map.folders[s] = *section_subfolders[s] ? app + section_subfolders[s] : app.substr(0, app.size() - 1);
    return map;
}

std::string relative_path(std::size_t section, const std::string& destination) {
    std::string folder = section_subfolders[section];
    return folder.empty() ? destination : folder + "\\" + destination;
}

int write_package(const std::string& work, std::vector<entry>* entries) {
    std::string manifest;
    int number = 1, next_cab = 2;
    for (std::size_t s = 0; s < install::section_count; ++s) {
        std::string keys;
        int count = 0;
        for (entry& e : *entries) {
            if (e.section != s) continue;
            ++count;
            e.number = number++;
            std::string key = "File" + std::to_string(e.number);
            if (e.compressed && e.cab_name.empty()) e.cab_name = "temp" + std::to_string(next_cab++) + ".cab";
            if (e.flag != no_flag) keys += key + "Flag=" + std::to_string(e.flag) + "\r\n";
            keys += key + "Dest=" + e.destination + "\r\n";
            if (!e.cab_name.empty()) keys += key + "CAB=" + e.cab_name + "\r\n";
            if (e.compressed) {
                EXPECT_TRUE(testing_support::write_bytes(work + e.cab_name, *e.compressed));
            }
        }
        if (count > 0)
            manifest += std::string("[") + install::layout[s].manifest_name + "]\r\n" + keys +
                        "NumFiles=" + std::to_string(count) + "\r\n";
    }
    int total = number - 1;
    manifest = "[General]\r\nTotalFiles=" + std::to_string(total) + "\r\n" + manifest;
    EXPECT_TRUE(testing_support::write_bytes(work + "temp1.cab", testing_support::text_bytes(manifest)));
    return total;
}

namespace {

void list_into(const std::string& folder, const std::string& prefix, tree* out) {
    platform::find_data found;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &found);
    if (find == platform::invalid_find) return;
    do {
        if (found.name == "." || found.name == "..") continue;
        std::string relative = prefix + found.name;
        if (found.is_directory) {
            out->folders.insert(relative);
            list_into(folder + found.name + "\\", relative + "\\", out);
        } else {
            out->files[relative] = testing_support::read_bytes(folder + found.name);
        }
    } while (platform::find_next_file(find, &found));
    platform::find_close(find);
}

}  // namespace

tree list_tree(const std::string& folder) {
    tree out;
    list_into(folder, "", &out);
    return out;
}

std::string differences(const tree& expected, const tree& actual) {
    std::string text;
    for (const auto& [path, content] : expected.files) {
        auto found = actual.files.find(path);
        if (found == actual.files.end())
            text += "  missing file: " + path + "\n";
        else if (found->second != content)
            text += "  different content: " + path + "\n";
    }
    for (const auto& [path, content] : actual.files)
        if (!expected.files.contains(path)) text += "  unexpected file: " + path + "\n";
    for (const std::string& path : expected.folders)
        if (!actual.folders.contains(path)) text += "  missing folder: " + path + "\n";
    for (const std::string& path : actual.folders)
        if (!expected.folders.contains(path)) text += "  unexpected folder: " + path + "\n";
    return text;
}

void make_tree(const std::string& folder, const tree& t) {
    for (const std::string& sub : t.folders)  // sorted: parents first
        ASSERT_NE(platform::create_directory((folder + sub).c_str()), platform::create_directory_result::failed)
            << sub;
    for (const auto& [path, content] : t.files)
        ASSERT_TRUE(testing_support::write_bytes(folder + path, content)) << path;
}

void add_folders_of_the_pass(tree* t) {
    t->folders.insert({"DATA", "DATA\\GIS DATA FILES", "DATA\\GIS DATA FILES\\CSV", "DATA\\GIS DATA FILES\\NADCON",
                       "DATA\\GIS DATA FILES\\NADCON\\win", "Symbols", "Symbols\\Base Symbols",
                       "Symbols\\GIS Symbols"});
    if (t->folders.contains("PSFonts")) t->folders.insert("PSFonts\\cmaps");
}

std::set<std::string> file_names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& [path, content] : list_tree(folder).files)
        if (path.find('\\') == std::string::npos) names.insert(path);
    return names;
}

}  // namespace pass_testing
