// The LZ expansion library: LZOpenFileA / LZRead / LZClose over SZDD files.
#pragma once

namespace platform {

// A handle greater than 0 on success, 0 or less on failure.
int lz_open_file(const char* path);
// Up to n expanded bytes; 0 at the end of the data, negative on error.
int lz_read(int handle, void* buffer, int n);
void lz_close(int handle);

}  // namespace platform
