#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/durable.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/host/host_path.h"
#include "platform/in_parallel.h"

namespace platform {

file_handle create_new_file(const char* path) {
    std::string host = host::to_host(path);
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return invalid_file;
    // Held as the files of create_file are: no other open while it is.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return invalid_file;
    }
    return fd;
}

bool flush_file(const char* path) {
    if (call_fails(file_call::flush_file)) return false;
    std::string host = host::to_host(path);
    int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    bool done = ::fsync(fd) == 0;
    return ::close(fd) == 0 && done;
}

void start_flush(const char* path) {
    int fd = ::open(host::to_host(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
}

std::vector<bool> flush_files(const std::vector<std::string>& paths) {
    // The paths are mapped here, as the mapping's folder listings are not
    // shared between threads; the workers only open and flush, each into
    // its own element.
    std::vector<std::string> hosts;
    for (const std::string& path : paths) hosts.push_back(host::to_host(path.c_str()));
    std::vector<char> flushed(hosts.size(), 0);
    in_parallel(hosts.size(), flush_threads, [&](std::size_t i) {
        if (call_fails(file_call::flush_file)) return;
        int fd = ::open(hosts[i].c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        bool done = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0 && ::close(fd) != 0) done = false;
        flushed[i] = done;
    });
    return std::vector<bool>(flushed.begin(), flushed.end());
}

bool sync_folder(const char* folder) {
    std::string host = host::to_host(folder);
    int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool done = ::fsync(fd) == 0;
    return ::close(fd) == 0 && done;
}

bool replace_file_durably(const char* from, const char* to) { return replace_file(from, to); }

bool is_link(const char* path) {
    struct stat st;
    return lstat(host::to_host(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool free_space(const char* folder, std::uint64_t* bytes) {
    struct statvfs disk;
    if (statvfs(host::to_host(folder).c_str(), &disk) != 0) return false;
    *bytes = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    return true;
}

void kill_point() {
    static const long kill_at = [] {
        const char* text = std::getenv("PLUPDATE_KILL_AT");
        return text ? std::atol(text) : 0L;
    }();
    static std::atomic<long> reached{0};
    if (kill_at > 0 && ++reached == kill_at) ::_exit(99);
}

}  // namespace platform
