#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "platform/durable.h"
#include "platform/faults.h"
#include "platform/in_parallel.h"

namespace platform {

file_handle create_new_file(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return file == INVALID_HANDLE_VALUE ? invalid_file : reinterpret_cast<file_handle>(file);
}

bool flush_file(const char* path) {
    if (call_fails(file_call::flush_file)) return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool done = FlushFileBuffers(file) != FALSE;
    return CloseHandle(file) != FALSE && done;
}

void start_flush(const char*) {}

std::vector<bool> flush_files(const std::vector<std::string>& paths) {
    // Each worker writes its own element.
    std::vector<char> flushed(paths.size(), 0);
    in_parallel(paths.size(), flush_threads, [&](std::size_t i) { flushed[i] = flush_file(paths[i].c_str()); });
    return std::vector<bool>(flushed.begin(), flushed.end());
}

bool sync_folder(const char*) { return true; }

bool replace_file_durably(const char* from, const char* to) {
    return !call_fails(file_call::replace_file) &&
           MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool is_link(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool free_space(const char* folder, std::uint64_t* bytes) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr)) return false;
    *bytes = available.QuadPart;
    return true;
}

void kill_point() {
    static const long kill_at = [] {
        const char* text = std::getenv("PLUPDATE_KILL_AT");
        return text ? std::atol(text) : 0L;
    }();
    static std::atomic<long> reached{0};
    if (kill_at > 0 && ++reached == kill_at) TerminateProcess(GetCurrentProcess(), 99);
}

}  // namespace platform
