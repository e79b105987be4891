// The SZDD fixtures of tests/data (made by mscompress, see
// make_szdd_fixtures.sh), and SZDD files built by hand for what that
// compressor cannot make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/little_endian.h"
#include "support/test_support.h"

namespace szdd_fixtures {

using testing_support::bytes;

// Each is tests/data/NAME, compressed as NAME_.
inline const std::vector<std::string>& compressed_fixtures() {
    static const std::vector<std::string> names = {
        "szdd_random_17.bin",  "szdd_random_4099.bin", "szdd_text_32000.txt",  "szdd_mixed_64000.bin",
        "szdd_runs_40000.txt", "szdd_text_70001.txt",  "szdd_spaces_2000.txt",
    };
    return names;
}

// A 14-byte SZDD header followed by `data`.
inline bytes szdd_file(std::uint32_t expanded_length, const bytes& data, std::uint8_t mode = 'A') {
    bytes file = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, mode, 0};
    formats::append_u32(&file, expanded_length);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

struct hand_made {
    const char* name;
    bytes compressed;
    bytes expanded;
};

inline bytes letters(char from, int n) {
    bytes out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(from + i));
    return out;
}

// Flag bytes are read least significant bit first: 1 a literal, 0 a match
// of two bytes, 12-bit window position (low byte, then the high nibble of
// the second byte) and length - 3 in its low nibble. Writing starts at
// window position 4080 in a window of spaces.
inline std::vector<hand_made> hand_made_files() {
    const bytes a_to_p = letters('a', 16);
    bytes sixteen = {0xFF};
    sixteen.insert(sixteen.end(), a_to_p.begin(), a_to_p.begin() + 8);
    sixteen.push_back(0xFF);
    sixteen.insert(sixteen.end(), a_to_p.begin() + 8, a_to_p.end());

    bytes wrapping = sixteen;  // the next write is at window position 0
    wrapping.insert(wrapping.end(), {0x00, 0xFA, 0xF7});  // 10 bytes from 4090
    bytes wrapped = a_to_p;
    wrapped.insert(wrapped.end(), a_to_p.begin() + 10, a_to_p.end());
    wrapped.insert(wrapped.end(), a_to_p.begin() + 10, a_to_p.begin() + 14);

    return {
        {"empty", szdd_file(0, {}), {}},
        {"empty with a stray literal after it", szdd_file(0, {0x01, 'x'}), {}},
        {"one byte", szdd_file(1, {0x01, 'x'}), {'x'}},
        {"sixteen literals", szdd_file(16, sixteen), a_to_p},
        {"a match that overlaps what it writes", szdd_file(8, {0x03, 'a', 'b', 0xF0, 0xF3}),
         testing_support::text_bytes("abababab")},
        {"the window starts as spaces", szdd_file(6, {0x02, 0x00, 0x02, 'x'}), testing_support::text_bytes("     x")},
        {"a match across the end of the window", szdd_file(26, wrapping), wrapped},
        {"data past the expanded length", szdd_file(3, {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}),
         testing_support::text_bytes("abc")},
    };
}

}  // namespace szdd_fixtures
