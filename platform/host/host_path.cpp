#include "platform/host/host_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string_view>

#include "platform/paths.h"

namespace platform::host {

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The name of an entry of `folder` equal to `name` without regard to ASCII
// letter case, or `name` itself when there is none.
std::string match_case(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return name;
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// The host path of a Windows path: the drive's folder, then each name in
// the letter case of an existing entry that matches it (where one does).
// `resolving` false gives the names as written.
std::string map_path(const char* windows_path, bool resolving) {
    std::string_view path(windows_path);
    std::string root;
    if (path.size() >= 2 && path[1] == ':') {
        char drive = static_cast<char>(path[0] | 0x20);
        if (drive == 'z') {
            root = "/";
        } else {
            const char* drives = std::getenv("PLUPDATE_DRIVES");
            root = std::string(drives && *drives ? drives : "/nonexistent-drives") + "/" + drive + "/";
        }
        path.remove_prefix(2);
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        root = "/";
    }
    while (!path.empty() && (path[0] == '\\' || path[0] == '/')) path.remove_prefix(1);

    std::string result = root;
    // resolving: while every folder so far exists
    while (!path.empty()) {
        std::size_t end = path.find_first_of("\\/");
        std::string name(path.substr(0, end));
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
        bool more = !path.empty();
        while (!path.empty() && (path[0] == '\\' || path[0] == '/')) path.remove_prefix(1);
        if (name.empty()) continue;
        if (resolving && name != "." && name != "..") {
            std::string candidate = result + name;
            if (!exists(candidate)) {
                std::string folder = result.empty() ? std::string(".") : result;
                name = match_case(folder, name);
                resolving = exists(result + name);
            }
        }
        result += name;
        if (more) result += '/';
    }
    return result;
}

}  // namespace

std::string to_host(const char* windows_path) {
    // A path that exists as written maps to itself, name by name: one
    // stat instead of one for each name.
    std::string written = map_path(windows_path, false);
    if (exists(written)) return written;
    return map_path(windows_path, true);
}

std::string to_windows(const std::string& host_path) {
    std::string result = host_path;
    for (char& c : result)
        if (c == '/') c = '\\';
    if (!result.empty() && result[0] == '\\') result = "Z:" + result;
    return result;
}

}  // namespace platform::host

namespace platform {

std::string path_from_command_line(const char* path) { return host::to_windows(path); }

}  // namespace platform
