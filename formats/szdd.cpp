#include "formats/szdd.h"

#include <algorithm>
#include <cstring>

#include "formats/little_endian.h"

namespace formats {

namespace {
constexpr std::uint32_t window_mask = 4095;
constexpr std::size_t longest_match = 18;
// One flag byte with eight items: 1 + 8 * 2 input bytes, 8 * 18 output bytes.
constexpr std::size_t group_input = 17;
constexpr std::size_t group_output = 8 * longest_match;
}  // namespace

bool parse_szdd_header(std::span<const std::uint8_t> bytes, szdd_header* header) {
    if (bytes.size() < szdd_header_size || std::memcmp(bytes.data(), szdd_magic, sizeof szdd_magic) != 0)
        return false;
    header->mode = bytes[8];
    header->last_character = bytes[9];
    header->expanded_length = load_u32(&bytes[10]);
    return true;
}

void szdd_decoder_start(szdd_decoder* decoder, std::uint32_t expanded_length) {
    std::memset(decoder->window, ' ', sizeof decoder->window);
    decoder->window_pos = 4096 - 16;
    decoder->flags = 1;
    decoder->match_pos = 0;
    decoder->match_left = 0;
    decoder->remaining = expanded_length;
}

std::size_t szdd_decode(szdd_decoder* decoder, std::span<const std::uint8_t> input, std::size_t* consumed,
                        std::span<std::uint8_t> output) {
    const std::uint8_t* in = input.data();
    const std::uint8_t* const in_end = in + input.size();
    std::uint8_t* out = output.data();
    std::uint8_t* const out_end = out + std::min<std::size_t>(output.size(), decoder->remaining);
    std::uint8_t* const window = decoder->window;
    std::uint32_t pos = decoder->window_pos;
    std::uint32_t flags = decoder->flags;

    // Finish a match that the previous call's full output cut short.
    while (decoder->match_left > 0 && out < out_end) {
        std::uint8_t c = window[decoder->match_pos++ & window_mask];
        window[pos] = c;
        pos = (pos + 1) & window_mask;
        *out++ = c;
        --decoder->match_left;
    }

    for (;;) {
        // Whole groups of eight items, with no bounds checks inside.
        while (flags == 1 && in_end - in >= static_cast<std::ptrdiff_t>(group_input) &&
               out_end - out >= static_cast<std::ptrdiff_t>(group_output)) {
            std::uint32_t group = *in++;
            if (group == 0xFF && pos <= 4096 - 8) {
                std::memcpy(out, in, 8);
                std::memcpy(window + pos, in, 8);
                in += 8;
                out += 8;
                pos = (pos + 8) & window_mask;
                continue;
            }
            for (int item = 0; item < 8; ++item, group >>= 1) {
                if (group & 1) {
                    std::uint8_t c = *in++;
                    window[pos] = c;
                    pos = (pos + 1) & window_mask;
                    *out++ = c;
                } else {
                    std::uint32_t from = in[0] | (static_cast<std::uint32_t>(in[1] & 0xF0) << 4);
                    std::uint32_t length = (in[1] & 0x0F) + 3u;
                    in += 2;
                    for (std::uint32_t i = 0; i < length; ++i) {
                        std::uint8_t c = window[(from + i) & window_mask];
                        window[pos] = c;
                        pos = (pos + 1) & window_mask;
                        *out++ = c;
                    }
                }
            }
        }

        // One item at a time near the ends of input and output.
        if (out >= out_end) break;
        if (flags == 1) {
            if (in >= in_end) break;
            flags = 0x100u | *in++;
        }
        if (flags & 1) {
            if (in >= in_end) break;
            std::uint8_t c = *in++;
            window[pos] = c;
            pos = (pos + 1) & window_mask;
            *out++ = c;
        } else {
            if (in_end - in < 2) break;
            std::uint32_t from = in[0] | (static_cast<std::uint32_t>(in[1] & 0xF0) << 4);
            std::uint32_t length = (in[1] & 0x0F) + 3u;
            in += 2;
            while (length > 0 && out < out_end) {
                std::uint8_t c = window[from++ & window_mask];
                window[pos] = c;
                pos = (pos + 1) & window_mask;
                *out++ = c;
                --length;
            }
            decoder->match_pos = from;
            decoder->match_left = length;
        }
        flags >>= 1;
        if (decoder->match_left > 0) break;
    }

    decoder->window_pos = pos;
    decoder->flags = flags;
    std::size_t produced = static_cast<std::size_t>(out - output.data());
    decoder->remaining -= static_cast<std::uint32_t>(produced);
    *consumed = static_cast<std::size_t>(in - input.data());
    return produced;
}

}  // namespace formats
