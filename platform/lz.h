// The LZ expansion library: LZInit / LZRead / LZClose over SZDD files.
#pragma once

#include "platform/files.h"

namespace platform {

// An LZ handle over a file the caller has opened for reading, read from
// where it stands (LZInit): greater than 0 on success, 0 or less on
// failure. On success the LZ handle owns the file and lz_close closes it;
// on failure the file stays the caller's.
int lz_init(file_handle file);
// Up to n expanded bytes; 0 at the end of the data, negative on error.
int lz_read(int handle, void* buffer, int n);
void lz_close(int handle);

}  // namespace platform
