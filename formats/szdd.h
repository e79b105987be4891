// SZDD (mode 'A') decoding: a 4096-byte window of spaces, writing from
// 4096 - 16, flag bytes read least significant bit first (set: a literal
// byte; clear: a two-byte match of 12-bit absolute window position and
// length 3 to 18). The decoder is a small state machine that any reader can
// feed in chunks of any size; its state carries from one call to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace formats {

inline constexpr std::size_t szdd_header_size = 14;
inline constexpr std::uint8_t szdd_magic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};

struct szdd_header {
    std::uint8_t mode;             // 'A' for the only method in use
    std::uint8_t last_character;   // last character of the expanded name
    std::uint32_t expanded_length;
};

// Reads the 14-byte header; false when the bytes do not start with the SZDD
// magic (a header of another mode parses; the caller checks the mode).
bool parse_szdd_header(std::span<const std::uint8_t> bytes, szdd_header* header);

struct szdd_decoder {
    std::uint8_t window[4096];
    std::uint32_t window_pos;
    std::uint32_t flags;        // flag bits still to use, above them a 1 bit
    std::uint32_t match_pos;    // a match cut short by a full output
    std::uint32_t match_left;
    std::uint32_t remaining;    // expanded bytes still to produce
};

void szdd_decoder_start(szdd_decoder* decoder, std::uint32_t expanded_length);

// Decodes from `input` into `output` until the output is full, the expanded
// length is reached, or the input holds no complete next item. Returns the
// number of bytes produced; *consumed receives the input bytes used (an item
// cut by the end of the input is left there for the next call).
std::size_t szdd_decode(szdd_decoder* decoder, std::span<const std::uint8_t> input, std::size_t* consumed,
                        std::span<std::uint8_t> output);

}  // namespace formats
