#include "platform/host/host_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

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

std::string lower(std::string_view name) {
    std::string result(name);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return result;
}

// The name of an entry of `folder` equal to `name` without regard to ASCII
// letter case, or `name` itself when there is none: the folder read through.
std::string scan_for_case(const std::string& folder, const std::string& name) {
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

// Folders read once and then kept up to date by inotify, which reports
// every entry made, removed or renamed in them, by any process, before the
// call that did it returns: a name of another letter case is then found
// without reading a large folder again for each new file made in it.
struct folder_listing {
    dev_t device = 0;
    ino_t inode = 0;
    int watch = -1;
    // Entry names in lower case, with how many entries have that name.
    std::unordered_map<std::string, int> names;
};

std::mutex listings_mutex;
int notify_fd = -2;  // -2: not opened yet; -1: inotify unavailable
std::unordered_map<std::string, folder_listing> listings;  // by folder path
std::unordered_map<int, std::string> folder_of_watch;
constexpr std::size_t listings_capacity = 64;

void forget_all() {
    for (auto& [path, listing] : listings) inotify_rm_watch(notify_fd, listing.watch);
    listings.clear();
    folder_of_watch.clear();
}

// Applies the events waiting. Called under listings_mutex.
void apply_events() {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t got = ::read(notify_fd, buffer, sizeof buffer);
        if (got <= 0) return;
        for (char* at = buffer; at < buffer + got;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                forget_all();
                continue;
            }
            auto watch = folder_of_watch.find(event->wd);
            if (watch == folder_of_watch.end()) continue;
            auto listing = listings.find(watch->second);
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (listing != listings.end()) {
                    if (!(event->mask & IN_IGNORED)) inotify_rm_watch(notify_fd, listing->second.watch);
                    listings.erase(listing);
                }
                folder_of_watch.erase(watch);
                continue;
            }
            if (listing == listings.end() || event->len == 0) continue;
            std::string name = lower(event->name);
            if (event->mask & (IN_CREATE | IN_MOVED_TO)) ++listing->second.names[name];
            if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                auto entry = listing->second.names.find(name);
                if (entry != listing->second.names.end() && --entry->second <= 0) listing->second.names.erase(entry);
            }
        }
    }
}

// The listing of `folder` as it is now, read when needed; null when
// inotify or the folder cannot be used. Called under listings_mutex.
folder_listing* current_listing(const std::string& folder) {
    if (notify_fd == -2) notify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_fd < 0) return nullptr;
    apply_events();
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    auto at = listings.find(folder);
    if (at != listings.end() && at->second.device == st.st_dev && at->second.inode == st.st_ino) return &at->second;
    if (at != listings.end()) {
        inotify_rm_watch(notify_fd, at->second.watch);
        folder_of_watch.erase(at->second.watch);
        listings.erase(at);
    }
    if (listings.size() >= listings_capacity) forget_all();
    // Watched before it is read, so that no change falls between the two.
    int watch = inotify_add_watch(notify_fd, folder.c_str(),
                                  IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                      IN_MOVE_SELF | IN_ONLYDIR);
    if (watch < 0) return nullptr;
    folder_listing listing;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.watch = watch;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        inotify_rm_watch(notify_fd, watch);
        return nullptr;
    }
    while (dirent* entry = readdir(dir)) ++listing.names[lower(entry->d_name)];
    closedir(dir);
    // A watch given again for the same folder (reached by another path)
    // is that folder's: the listing under the old path goes.
    auto other = folder_of_watch.find(watch);
    if (other != folder_of_watch.end()) listings.erase(other->second);
    folder_of_watch[watch] = folder;
    return &(listings[folder] = std::move(listing));
}

// The name of an entry of `folder` equal to `name` without regard to ASCII
// letter case, or `name` itself when there is none.
std::string match_case(const std::string& folder, const std::string& name) {
    {
        std::lock_guard lock(listings_mutex);
        folder_listing* listing = current_listing(folder.empty() ? std::string(".") : folder);
        if (listing) {
            auto entry = listing->names.find(lower(name));
            if (entry == listing->names.end()) return name;  // no entry of that name in any case
        }
    }
    // An entry of that name exists (or the folder is not listed): find how
    // it is spelt.
    return scan_for_case(folder, name);
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

}  // namespace

std::string to_host(const char* windows_path) {
    // A path that exists as written maps to itself, name by name: one
    // stat instead of one for each name.
    std::string written = map_path(windows_path, false);
    if (exists(written)) return written;
    // A name not there in a folder that is: only that last name is looked
    // for in another letter case (as a new file's path is, every time).
    std::size_t cut = written.find_last_of('/');
    if (cut != std::string::npos && cut > 0 && cut + 1 < written.size()) {
        std::string folder = written.substr(0, cut);
        std::string name = written.substr(cut + 1);
        if (name != "." && name != ".." && exists(folder)) return folder + "/" + match_case(folder, name);
    }
    return map_path(windows_path, true);
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
