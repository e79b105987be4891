// Files and folders over POSIX, behaving as the Windows calls do where the
// logic relies on it: exclusive opens, read-only files that cannot be
// deleted or replaced, "." and ".." in folder listings.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/host/host_path.h"
#include "platform/native.h"

namespace platform {

namespace {

// An open without sharing: an exclusive lock that any other open of the
// same file, in this process or another, fails to take.
int open_exclusive(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool in_use(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

// Writes n bytes in as many writes as it takes; *done receives the count
// written.
bool write_all(int fd, const void* buffer, std::uint32_t n, std::uint32_t* done) {
    *done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (*done < n) {
        ssize_t put = ::write(fd, in + *done, n - *done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        *done += static_cast<std::uint32_t>(put);
    }
    return true;
}

bool read_only(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows wildcard match, without regard to ASCII letter case; "*.*"
// matches every name, dotted or not.
bool wildcard_match(const char* mask, const char* name) {
    if (strcmp(mask, "*.*") == 0) return true;
    while (*mask) {
        if (*mask == '*') {
            ++mask;
            if (!*mask) return true;
            for (const char* rest = name; *rest; ++rest)
                if (wildcard_match(mask, rest)) return true;
            return wildcard_match(mask, "");
        }
        if (!*name) return false;
        if (*mask != '?' && ascii_lower(*mask) != ascii_lower(*name)) return false;
        ++mask;
        ++name;
    }
    return *name == '\0';
}

struct listing {
    std::vector<find_data> entries;
    std::size_t next = 0;
};
std::mutex finds_mutex;
std::map<find_handle, listing> finds;
find_handle next_find = 1;

}  // namespace

file_handle create_file(const char* path, access mode, disposition how) {
    if (call_fails(file_call::create_file)) return invalid_file;
    std::string host = host::to_host(path);
    int flags = mode == access::read ? O_RDONLY : O_WRONLY;
    if (how != disposition::open_existing) flags |= O_CREAT;
    if (how == disposition::create_new) flags |= O_EXCL | O_NOFOLLOW;
    if (mode == access::write && read_only(host)) return invalid_file;
    int fd = open_exclusive(host, flags);
    if (fd < 0) return invalid_file;
    // An empty file is left as it is: truncating it changes nothing, and
    // ext4 would then write the file out when it is closed, as it does for
    // a file rewritten in place.
    struct stat st;
    if (how == disposition::create_always && (fstat(fd, &st) != 0 || st.st_size != 0) && ftruncate(fd, 0) != 0) {
        ::close(fd);
        return invalid_file;
    }
    return fd;
}

bool read_file(file_handle file, void* buffer, std::uint32_t n, std::uint32_t* done) {
    *done = 0;
    if (call_fails(file_call::read_file)) return false;
    auto* out = static_cast<char*>(buffer);
    while (*done < n) {
        ssize_t got = ::read(static_cast<int>(file), out + *done, n - *done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        *done += static_cast<std::uint32_t>(got);
    }
    return true;
}

bool write_file(file_handle file, const void* buffer, std::uint32_t n, std::uint32_t* done) {
    *done = 0;
    if (call_fails(file_call::write_file)) return false;
    return write_all(static_cast<int>(file), buffer, n, done);
}

std::uint32_t get_file_size(file_handle file) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(st.st_size);
}

bool set_file_pointer(file_handle file, std::int32_t distance, seek_from origin) {
    int whence = origin == seek_from::begin ? SEEK_SET : origin == seek_from::current ? SEEK_CUR : SEEK_END;
    return lseek(static_cast<int>(file), distance, whence) >= 0;
}

bool close_handle(file_handle file) { return file != invalid_file && ::close(static_cast<int>(file)) == 0; }

bool copy_file(const char* from, const char* to, bool fail_if_exists) {
    if (call_fails(file_call::copy_file)) return false;
    std::string source = host::to_host(from), target = host::to_host(to);
    if (is_directory(source) || is_directory(target)) return false;
    if (fail_if_exists && ::access(target.c_str(), F_OK) == 0) return false;
    if (read_only(target) || in_use(target)) return false;
    int in = open_exclusive(source, O_RDONLY);
    if (in < 0) return false;
    struct stat st;
    fstat(in, &st);
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    bool ok = out >= 0;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) break;
        std::uint32_t written = 0;
        ok = got > 0 && write_all(out, buffer.data(), static_cast<std::uint32_t>(got), &written);
    }
    ::close(in);
    if (out >= 0) {
        fchmod(out, st.st_mode & 0777);
        ok = (::close(out) == 0) && ok;
    }
    return ok;
}

bool move_file(const char* from, const char* to) {
    if (call_fails(file_call::move_file)) return false;
    std::string source = host::to_host(from), target = host::to_host(to);
    struct stat st;
    if (lstat(source.c_str(), &st) != 0 || lstat(target.c_str(), &st) == 0) return false;
    if (in_use(source)) return false;
    return ::rename(source.c_str(), target.c_str()) == 0;
}

bool replace_file(const char* from, const char* to) {
    if (call_fails(file_call::replace_file)) return false;
    std::string source = host::to_host(from), target = host::to_host(to);
    if (is_directory(source) || is_directory(target)) return false;
    if (in_use(source) || in_use(target) || read_only(target)) return false;
    // Windows runs any file that holds a program; here a program needs its
    // execute bits, so new content for a program stays one.
    struct stat old_target, new_content;
    if (stat(target.c_str(), &old_target) == 0 && stat(source.c_str(), &new_content) == 0)
        chmod(source.c_str(), (new_content.st_mode | (old_target.st_mode & 0111)) & 07777);
    return ::rename(source.c_str(), target.c_str()) == 0;
}

bool delete_file(const char* path) {
    if (call_fails(file_call::delete_file)) return false;
    std::string host = host::to_host(path);
    if (is_directory(host) || read_only(host) || in_use(host)) return false;
    return ::unlink(host.c_str()) == 0;
}

bool set_file_attributes_normal(const char* path) {
    if (call_fails(file_call::set_file_attributes_normal)) return false;
    std::string host = host::to_host(path);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) return false;
    return chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool file_exists(const char* path) {
    std::string host = host::to_host(path);
    struct stat st;
    return stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool file_size_of(const char* path, std::uint64_t* size) {
    std::string host = host::to_host(path);
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool is_read_only(const char* path) { return read_only(host::to_host(path)); }

create_directory_result create_directory(const char* path) {
    std::string host = host::to_host(path);
    if (mkdir(host.c_str(), 0777) == 0) return create_directory_result::created;
    if (errno == EEXIST) return create_directory_result::already_exists;
    return create_directory_result::failed;
}

bool remove_directory(const char* path) { return rmdir(host::to_host(path).c_str()) == 0; }

bool create_private_directory(const char* path) {
    std::string host = host::to_host(path);
    if (mkdir(host.c_str(), 0700) != 0) return false;
    struct stat st;
    return lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 07777) == 0700;
}

namespace {

// Removes `name` under the open folder `parent`, never following a link.
bool remove_at(int parent, const char* name) {
    struct stat st;
    if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
    int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return false;
    DIR* dir = fdopendir(folder);
    if (!dir) {
        ::close(folder);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    bool ok = true;
    for (const std::string& inner : names) ok = remove_at(dirfd(dir), inner.c_str()) && ok;
    closedir(dir);
    return ok && (unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT);
}

}  // namespace

bool remove_tree(const char* path) {
    std::string host = host::to_host(path);
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    return remove_at(AT_FDCWD, host.c_str());
}

find_handle find_first_file(const char* pattern, find_data* data) {
    std::string text(pattern);
    std::size_t cut = text.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? "." : text.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? text : text.substr(cut + 1);
    DIR* dir = opendir(host::to_host(folder.c_str()).c_str());
    if (!dir) return invalid_find;
    std::string host_folder = host::to_host(folder.c_str());
    if (!host_folder.empty() && host_folder.back() != '/') host_folder += '/';
    listing found;
    while (dirent* entry = readdir(dir)) {
        std::string name = host::name_to_windows(entry->d_name);
        if (!wildcard_match(mask.c_str(), name.c_str())) continue;
        found.entries.push_back({name, is_directory(host_folder + entry->d_name)});
    }
    closedir(dir);
    if (found.entries.empty()) return invalid_find;
    *data = found.entries[0];
    found.next = 1;
    std::lock_guard lock(finds_mutex);
    find_handle handle = next_find++;
    finds.emplace(handle, std::move(found));
    return handle;
}

bool find_next_file(find_handle find, find_data* data) {
    std::lock_guard lock(finds_mutex);
    auto it = finds.find(find);
    if (it == finds.end() || it->second.next >= it->second.entries.size()) return false;
    *data = it->second.entries[it->second.next++];
    return true;
}

void find_close(find_handle find) {
    std::lock_guard lock(finds_mutex);
    finds.erase(find);
}

std::string temp_path() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp == '/' ? tmp : "/tmp";
    std::string path = host::to_windows(folder);
    if (path.back() != '\\') path += '\\';
    return path;
}

local_time native::system_local_time() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace platform
