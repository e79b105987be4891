// A file that an operation works on: the caller fills the path, the
// operation owns the handle. Every operation returns whether it succeeded.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace patch {

struct file_record {
    std::string path;
    platform::file_handle handle = platform::invalid_file;
};

inline constexpr int record_read = 1;   // an existing file
inline constexpr int record_write = 2;  // created, or truncated when it exists

bool open_record(file_record* record, int mode);
// The size in bytes (low 32 bits).
std::uint32_t record_size(const file_record* record);
// Fails unless exactly n bytes arrive.
bool read_record(file_record* record, void* buffer, std::uint32_t n);
// Fails unless the write succeeds with exactly n bytes.
bool write_record(file_record* record, const void* buffer, std::uint32_t n);
void close_record(file_record* record);

}  // namespace patch
