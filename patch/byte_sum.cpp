#include "patch/byte_sum.h"

#include <cstring>
#include <vector>

#include "patch/file_record.h"

namespace patch {

std::uint32_t byte_sum(std::span<const std::uint8_t> bytes, std::uint32_t start) {
    // Each byte counts as a signed char, which is (byte ^ 0x80) - 128. Eight
    // bytes at a time are flipped and added as unsigned in four 16-bit
    // lanes: 128 words (510 a lane each) fit before the lanes are added up.
    constexpr std::uint64_t flip = 0x8080808080808080ull, low = 0x00FF00FF00FF00FFull;
    std::uint32_t sum = start;
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    while (left >= 8) {
        std::size_t words = left / 8 < 128 ? left / 8 : 128;
        std::uint64_t lanes = 0;
        for (std::size_t i = 0; i < words; ++i, at += 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            word ^= flip;
            lanes += (word & low) + ((word >> 8) & low);
        }
        lanes = (lanes & 0x0000FFFF0000FFFFull) + ((lanes >> 16) & 0x0000FFFF0000FFFFull);
        sum += static_cast<std::uint32_t>(lanes + (lanes >> 32)) - static_cast<std::uint32_t>(128 * 8 * words);
        left -= words * 8;
    }
    for (; left > 0; --left, ++at)
        sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(*at)));
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
