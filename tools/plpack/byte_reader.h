// Little-endian reads of an executable's fields that fail, instead of
// reading past the end, when the field does not lie wholly inside the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "formats/little_endian.h"

namespace plpack {

struct reader {
    std::span<const std::uint8_t> data;

    bool has(std::uint64_t offset, std::uint64_t size) const {
        return offset <= data.size() && size <= data.size() - offset;
    }
    std::optional<std::uint32_t> u8(std::uint64_t offset) const {
        if (!has(offset, 1)) return std::nullopt;
        return data[offset];
    }
    std::optional<std::uint32_t> u16(std::uint64_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return formats::load_u16(data.data() + offset);
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return formats::load_u32(data.data() + offset);
    }
    std::optional<std::uint64_t> u64(std::uint64_t offset) const {
        if (!has(offset, 8)) return std::nullopt;
        return std::uint64_t{formats::load_u32(data.data() + offset)} |
               std::uint64_t{formats::load_u32(data.data() + offset + 4)} << 32;
    }
};

}  // namespace plpack
