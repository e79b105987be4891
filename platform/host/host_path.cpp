#include "platform/host/host_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <cstdlib>
#include <string_view>

#include "formats/code_page.h"
#include "platform/paths.h"

namespace platform::host {

namespace {

std::atomic<int> chosen_code_page{0};

bool has_high_bytes(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

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

}  // namespace

std::string to_host(const char* windows_path) {
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
    bool resolving = true;  // while every folder so far exists
    while (!path.empty()) {
        std::size_t end = path.find_first_of("\\/");
        std::string name(path.substr(0, end));
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
        bool more = !path.empty();
        while (!path.empty() && (path[0] == '\\' || path[0] == '/')) path.remove_prefix(1);
        if (name.empty()) continue;
        if (has_high_bytes(name)) name = formats::code_page_to_utf8(name, ansi_code_page());
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

std::string name_to_windows(const std::string& host_name) {
    return has_high_bytes(host_name) ? formats::utf8_to_code_page(host_name, ansi_code_page()) : host_name;
}

std::string to_windows(const std::string& host_path) {
    std::string result = name_to_windows(host_path);
    for (char& c : result)
        if (c == '/') c = '\\';
    if (!result.empty() && result[0] == '\\') result = "Z:" + result;
    return result;
}

}  // namespace platform::host

namespace platform {

std::string path_from_command_line(const char* path) { return host::to_windows(path); }

std::string path_for_display(const std::string& path) {
    std::string shown = path;
    if (shown.size() >= 2 && shown[1] == ':' && (shown[0] | 0x20) == 'z') shown.erase(0, 2);
    for (char& c : shown)
        if (c == '\\') c = '/';
    return host::has_high_bytes(shown) ? formats::code_page_to_utf8(shown, ansi_code_page()) : shown;
}

std::string full_path(const char* path) {
    std::string host_path = host::to_host(path);
    if (host_path.empty() || host_path[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return {};
        host_path = std::string(cwd) + "/" + host_path;
    }
    // The names one by one; the part that exists resolved by realpath.
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= host_path.size();) {
        std::size_t end = host_path.find('/', start);
        if (end == std::string::npos) end = host_path.size();
        std::string name = host_path.substr(start, end - start);
        if (name == "..") {
            if (!names.empty()) names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        start = end + 1;
    }
    std::string resolved = "/";
    std::size_t used = 0;
    for (; used < names.size(); ++used) {
        std::string next = resolved + (resolved.back() == '/' ? "" : "/") + names[used];
        char real[PATH_MAX];
        if (!realpath(next.c_str(), real)) break;
        resolved = real;
    }
    for (; used < names.size(); ++used) resolved += (resolved.back() == '/' ? "" : "/") + names[used];
    return host::to_windows(resolved);
}

int ansi_code_page() {
    int chosen = host::chosen_code_page;
    if (chosen != 0) return chosen;
    const char* text = std::getenv("PLUPDATE_CODE_PAGE");
    int from_environment = text ? std::atoi(text) : 0;
    chosen = formats::code_page_known(from_environment) ? from_environment : formats::default_code_page;
    host::chosen_code_page = chosen;
    return chosen;
}

bool set_ansi_code_page(int code_page) {
    if (!formats::code_page_known(code_page)) return false;
    host::chosen_code_page = code_page;
    return true;
}

std::string last_error_text() { return errno == 0 ? std::string() : std::strerror(errno); }

}  // namespace platform
