// An SZDD writer for tests: every byte stored as a literal (a flag byte
// with one bit per following literal, eight to a group), which any SZDD
// decoder reads back. Good enough to carry small files through the payload
// without a real compressor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/little_endian.h"
#include "support/test_support.h"

namespace testing_support {

inline bytes szdd_literals(const bytes& content) {
    bytes file = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0};
    formats::append_u32(&file, static_cast<std::uint32_t>(content.size()));
    for (std::size_t at = 0; at < content.size(); at += 8) {
        std::size_t n = content.size() - at < 8 ? content.size() - at : 8;
        file.push_back(static_cast<std::uint8_t>((1u << n) - 1));
        file.insert(file.end(), content.begin() + static_cast<std::ptrdiff_t>(at),
                    content.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    return file;
}

}  // namespace testing_support
