#include <windows.h>
#include <lzexpand.h>

#include "platform/lz.h"

namespace platform {

int lz_open_file(const char* path) {
    OFSTRUCT record{};
    return LZOpenFileA(const_cast<char*>(path), &record, OF_READ);
}

int lz_read(int handle, void* buffer, int n) { return LZRead(handle, static_cast<char*>(buffer), n); }

void lz_close(int handle) { LZClose(handle); }

}  // namespace platform
