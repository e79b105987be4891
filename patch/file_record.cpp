#include "patch/file_record.h"

namespace patch {

bool open_record(file_record* record, int mode) {
    record->handle = platform::invalid_file;
    if (mode == record_read)
        record->handle = platform::create_file(record->path.c_str(), platform::access::read,
                                               platform::disposition::open_existing);
    else if (mode == record_write)
        record->handle = platform::create_file(record->path.c_str(), platform::access::write,
                                               platform::disposition::create_always);
    return record->handle != platform::invalid_file;
}

std::uint32_t record_size(const file_record* record) { return platform::get_file_size(record->handle); }

bool read_record(file_record* record, void* buffer, std::uint32_t n) {
    std::uint32_t done = 0;
    return platform::read_file(record->handle, buffer, n, &done) && done == n;
}

bool write_record(file_record* record, const void* buffer, std::uint32_t n) {
    std::uint32_t done = 0;
    return platform::write_file(record->handle, buffer, n, &done) && done == n;
}

void close_record(file_record* record) {
    if (record->handle != platform::invalid_file) platform::close_handle(record->handle);
    record->handle = platform::invalid_file;
}

}  // namespace patch
