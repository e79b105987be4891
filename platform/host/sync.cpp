// Named mutexes and top-level windows between processes, over files in a
// shared folder ($PLUPDATE_SYNC_DIR, default /tmp/plupdate-sync):
// - a mutex is a lock file; its owner thread holds an exclusive flock on an
//   open file of its own, and the file's first byte says whether the owner
//   released it ('0') or still holds it ('1'). A waiter that gets the lock
//   and finds '1' knows the owner ended without releasing: abandoned.
// - a window is a file holding its class name, locked by its process for
//   as long as the process lives; an unlocked one is left from a process
//   that ended and is skipped.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/host_path.h"
#include "platform/sync.h"

extern char** environ;

namespace platform {

namespace {

std::string sync_folder() {
    const char* dir = std::getenv("PLUPDATE_SYNC_DIR");
    std::string folder = dir && *dir ? dir : "/tmp/plupdate-sync";
    mkdir(folder.c_str(), 0777);
    return folder;
}

struct ownership {
    std::thread::id owner;
    int count = 0;
    int fd = -1;
};

std::mutex table_mutex;
std::map<std::string, ownership> owned;          // by mutex name
std::map<mutex_handle, std::string> handles;     // handle -> mutex name
mutex_handle next_handle = 1;

// Gives up, without releasing, what a thread still owns when it ends.
struct thread_owner_guard {
    std::vector<std::string> names;
    ~thread_owner_guard() {
        std::lock_guard lock(table_mutex);
        for (const std::string& name : names) {
            auto it = owned.find(name);
            if (it == owned.end() || it->second.owner != std::this_thread::get_id()) continue;
            ::close(it->second.fd);  // the lock goes; the '1' stays: abandoned
            owned.erase(it);
        }
    }
};
thread_local thread_owner_guard owner_guard;

std::string mutex_file(const std::string& name) {
    std::string safe;
    for (char c : name) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    return sync_folder() + "/mutex-" + safe;
}

}  // namespace

mutex_handle create_mutex(const char* name) {
    int fd = ::open(mutex_file(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return no_mutex;
    ::close(fd);
    std::lock_guard lock(table_mutex);
    mutex_handle handle = next_handle++;
    handles[handle] = name;
    return handle;
}

wait_result wait_for_mutex(mutex_handle mutex, std::uint32_t milliseconds) {
    std::string name;
    {
        std::lock_guard lock(table_mutex);
        auto h = handles.find(mutex);
        if (h == handles.end()) return wait_result::failed;
        name = h->second;
        auto it = owned.find(name);
        if (it != owned.end() && it->second.owner == std::this_thread::get_id()) {
            ++it->second.count;
            return wait_result::acquired;
        }
    }
    int fd = ::open(mutex_file(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return wait_result::failed;
    if (milliseconds == wait_forever) {
        while (flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return wait_result::failed;
            }
        }
    } else {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return wait_result::timed_out;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    char state = '0';
    bool abandoned = pread(fd, &state, 1, 0) == 1 && state == '1';
    state = '1';
    if (pwrite(fd, &state, 1, 0) != 1) {
        ::close(fd);
        return wait_result::failed;
    }
    std::lock_guard lock(table_mutex);
    owned[name] = {std::this_thread::get_id(), 1, fd};
    owner_guard.names.push_back(name);
    return abandoned ? wait_result::abandoned : wait_result::acquired;
}

bool release_mutex(mutex_handle mutex) {
    std::lock_guard lock(table_mutex);
    auto h = handles.find(mutex);
    if (h == handles.end()) return false;
    auto it = owned.find(h->second);
    if (it == owned.end() || it->second.owner != std::this_thread::get_id()) return false;
    if (--it->second.count > 0) return true;
    char state = '0';
    bool ok = pwrite(it->second.fd, &state, 1, 0) == 1;
    ::close(it->second.fd);
    owned.erase(it);
    return ok;
}

void close_mutex(mutex_handle mutex) {
    std::lock_guard lock(table_mutex);
    handles.erase(mutex);
}

bool show_top_level_window(const char* class_name) {
    std::string folder = sync_folder() + "/windows";
    mkdir(folder.c_str(), 0777);
    static int count = 0;
    std::string path = folder + "/" + std::to_string(getpid()) + "-" + std::to_string(count++);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t length = std::strlen(class_name);
    if (flock(fd, LOCK_EX) != 0 || write(fd, class_name, length) != static_cast<ssize_t>(length)) {
        ::close(fd);
        return false;
    }
    return true;  // the descriptor stays open, and locked, until the process ends
}

void enum_top_level_windows(window_visitor visit, void* context) {
    std::string folder = sync_folder() + "/windows";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    for (const std::string& name : names) {
        std::string path = folder + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_SH | LOCK_NB) == 0) {  // nobody holds it: its process has ended
            unlink(path.c_str());
            ::close(fd);
            continue;
        }
        char class_name[256];
        ssize_t n = pread(fd, class_name, 255, 0);
        ::close(fd);
        if (n < 0) continue;
        class_name[n] = '\0';
        if (!visit(class_name, context)) return;
    }
}

namespace {

// Splits a Windows command line into arguments: blanks separate, double
// quotes group.
std::vector<std::string> split_command_line(const char* command_line) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (const char* p = command_line; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += *p;
            any = true;
        }
    }
    if (any) args.push_back(current);
    return args;
}

}  // namespace

bool create_process(const char* executable, const char* command_line) {
    std::string program = host::to_host(executable);
    struct stat st;
    if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(program.c_str(), X_OK) != 0) return false;
    std::vector<std::string> args = split_command_line(command_line ? command_line : "");
    if (args.empty()) args.push_back(program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // A child of a child: the updater does not wait for the application.
    // The grandchild reports a failed exec through a pipe that a successful
    // one closes, so a file that is no program fails here as on Windows.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        pid_t grandchild = fork();
        if (grandchild == 0) {
            setenv("PLUPDATE_COMMAND_LINE", command_line ? command_line : "", 1);
            execve(program.c_str(), argv.data(), environ);
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        _exit(grandchild > 0 ? 0 : 1);
    }
    close(report[1]);
    int status = 0;
    waitpid(child, &status, 0);
    int error = 0;
    ssize_t got;
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

bool start_thread(std::uint32_t (*procedure)(void* parameter), void* parameter) {
    try {
        std::thread([procedure, parameter] { procedure(parameter); }).detach();
        return true;
    } catch (...) {
        return false;
    }
}

void sleep_ms(std::uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace platform

namespace platform {

std::string own_command_line() {
    if (const char* line = std::getenv("PLUPDATE_COMMAND_LINE")) return line;
    std::string line;
    FILE* f = std::fopen("/proc/self/cmdline", "rb");
    if (!f) return line;
    int c;
    while ((c = std::fgetc(f)) != EOF) line += c == 0 ? ' ' : static_cast<char>(c);
    std::fclose(f);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::string own_executable_path() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return host::to_windows(std::string(buffer, static_cast<std::size_t>(n)));
}

}  // namespace platform
