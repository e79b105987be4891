// The byte sum that identifies files: every byte taken as a signed value
// (-128..127), summed modulo 2^32 from 0.
#pragma once

#include <cstdint>
#include <span>

namespace patch {

std::uint32_t byte_sum(std::span<const std::uint8_t> bytes, std::uint32_t start = 0);

// The byte sum of a whole file; false when it cannot be read.
bool file_byte_sum(const char* path, std::uint32_t* sum);

}  // namespace patch
