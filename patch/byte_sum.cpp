#include "patch/byte_sum.h"

#include <vector>

#include "patch/file_record.h"

namespace patch {

std::uint32_t byte_sum(std::span<const std::uint8_t> bytes, std::uint32_t start) {
    std::uint32_t sum = start;
    for (std::uint8_t b : bytes) sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(b)));
    return sum;
}

bool file_byte_sum(const char* path, std::uint32_t* sum) {
    file_record file{path};
    if (!open_record(&file, record_read)) return false;
    std::uint32_t left = record_size(&file);
    std::vector<std::uint8_t> chunk(1 << 16);
    std::uint32_t total = 0;
    bool ok = left != 0xFFFFFFFFu;
    while (ok && left > 0) {
        std::uint32_t n = left < chunk.size() ? left : static_cast<std::uint32_t>(chunk.size());
        ok = read_record(&file, chunk.data(), n);
        total = byte_sum({chunk.data(), n}, total);
        left -= n;
    }
    close_record(&file);
    if (ok) *sum = total;
    return ok;
}

}  // namespace patch
