#include <algorithm>
#include <cstdio>
#include <random>

#include "platform/files.h"
#include "platform/paths.h"
#include "tools/plpack/commands.h"

namespace plpack {

namespace {

bool list_below(const std::string& folder, const std::string& prefix, tree* found) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "\\*").c_str(), &entry);
    if (find == platform::invalid_find) {
        std::fprintf(stderr, "plpack: cannot list the folder %s%s\n", shown(folder).c_str(), reason().c_str());
        return false;
    }
    std::vector<platform::find_data> entries;
    do {
        if (entry.name != "." && entry.name != "..") entries.push_back(entry);
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const platform::find_data& e : entries) {
        std::string relative = prefix + e.name;
        if (!e.is_directory) {
            found->files.push_back(relative);
            continue;
        }
        found->folders.push_back(relative);
        if (!list_below(folder + "\\" + e.name, relative + "\\", found)) return false;
    }
    return true;
}

}  // namespace

bool folder_exists(const std::string& folder) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "\\*").c_str(), &entry);
    if (find == platform::invalid_find) return false;
    platform::find_close(find);
    return true;
}

bool list_tree(const std::string& folder, tree* found) {
    *found = {};
    return list_below(folder, "", found);
}

bool copy_tree(const std::string& from, const std::string& to) {
    tree content;
    if (!list_tree(from, &content)) return false;
    if (platform::create_directory(to.c_str()) == platform::create_directory_result::failed) {
        std::fprintf(stderr, "plpack: cannot create the folder %s%s\n", shown(to).c_str(), reason().c_str());
        return false;
    }
    for (const std::string& folder : content.folders)
        if (platform::create_directory((to + "\\" + folder).c_str()) == platform::create_directory_result::failed) {
            std::fprintf(stderr, "plpack: cannot create the folder %s%s\n", shown(to + "\\" + folder).c_str(),
                         reason().c_str());
            return false;
        }
    for (const std::string& file : content.files)
        if (!platform::copy_file((from + "\\" + file).c_str(), (to + "\\" + file).c_str(), false)) {
            std::fprintf(stderr, "plpack: cannot copy %s%s\n", shown(from + "\\" + file).c_str(), reason().c_str());
            return false;
        }
    return true;
}

void remove_tree(const std::string& folder) {
    tree content;
    list_tree(folder, &content);
    for (const std::string& file : content.files) {
        std::string path = folder + "\\" + file;
        platform::set_file_attributes_normal(path.c_str());
        platform::delete_file(path.c_str());
    }
    // Deepest first: a folder's subfolders follow it in the listing.
    for (auto it = content.folders.rbegin(); it != content.folders.rend(); ++it)
        platform::remove_directory((folder + "\\" + *it).c_str());
    platform::remove_directory(folder.c_str());
}

std::string make_scratch_folder(const char* prefix) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "%s-%08x", prefix, static_cast<unsigned>(random()));
        std::string folder = platform::temp_path() + name;
        if (platform::create_directory(folder.c_str()) == platform::create_directory_result::created)
            return folder + "\\";
    }
    return {};
}

std::string shown(const std::string& path) { return platform::path_for_display(path); }

std::string shown_name(const std::string& name) {
    std::string text = platform::path_for_display(name);
#ifndef _WIN32
    for (char& c : text)
        if (c == '/') c = '\\';
#endif
    return text;
}

std::string reason() {
    std::string text = platform::last_error_text();
    return text.empty() ? text : ": " + text;
}

std::string folder_problem(const std::string& folder) {
    if (folder_exists(folder)) return {};
    if (platform::file_exists(folder.c_str())) return "is a file, not a folder";
    std::string why = platform::last_error_text();
    return why.empty() ? "cannot be opened" : "cannot be opened: " + why;
}

std::string folder_argument(const char* typed) {
    std::string path = platform::path_from_command_line(typed);
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

}  // namespace plpack
