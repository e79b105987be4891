// Little-endian integers in byte buffers, as every file format of the
// updater stores them. The caller makes sure the bytes are there.
#pragma once

#include <cstdint>
#include <vector>

namespace formats {

inline constexpr std::uint16_t load_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8);
}

inline constexpr std::uint32_t load_u32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline constexpr void store_u32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void append_u32(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace formats
