#include <windows.h>
#include <lzexpand.h>

#include "platform/lz.h"

namespace platform {

// A file handle's value fits an HFILE, as the handles of _lopen do.
int lz_init(file_handle file) { return LZInit(static_cast<INT>(file)); }

int lz_read(int handle, void* buffer, int n) { return LZRead(handle, static_cast<char*>(buffer), n); }

void lz_close(int handle) { LZClose(handle); }

}  // namespace platform
