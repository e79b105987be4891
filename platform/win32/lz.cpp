#include <windows.h>
#include <lzexpand.h>

#include <mutex>

#include "platform/lz.h"

namespace platform {

namespace {

// The library keeps its open handles in one table without a lock of its
// own; reading through one handle touches only that handle's state.
std::mutex handles_mutex;

}  // namespace

// A file handle's value fits an HFILE, as the handles of _lopen do.
int lz_init(file_handle file) {
    std::lock_guard lock(handles_mutex);
    return LZInit(static_cast<INT>(file));
}

int lz_read(int handle, void* buffer, int n) { return LZRead(handle, static_cast<char*>(buffer), n); }

void lz_close(int handle) {
    std::lock_guard lock(handles_mutex);
    LZClose(handle);
}

}  // namespace platform
