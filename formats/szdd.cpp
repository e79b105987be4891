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

namespace {

std::uint64_t load8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
std::uint32_t load4(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void store8(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }
void store4(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// Copies n bytes (at most longest_match) between places that do not
// overlap: a few word moves, every load before the stores.
void copy_short(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    if (n > 16) {
        std::uint64_t a = load8(from), b = load8(from + 8), c = load8(from + n - 8);
        store8(to, a);
        store8(to + 8, b);
        store8(to + n - 8, c);
    } else if (n >= 8) {
        std::uint64_t a = load8(from), c = load8(from + n - 8);
        store8(to, a);
        store8(to + n - 8, c);
    } else if (n >= 4) {
        std::uint32_t a = load4(from), b = load4(from + n - 4);
        store4(to, a);
        store4(to + n - 4, b);
    } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

// The output of one call. The decoder writes the output only; the window
// holds what came before the call and is brought up to date at its end, so
// a match reads the bytes of this call from the output and older ones from
// the window.
struct output_cursor {
    std::uint8_t* const begin;
    std::uint8_t* out;
    const std::uint8_t* const window;
    const std::uint32_t base;  // the window position of begin[0]

    // Appends `length` bytes copied from window position `from` on, the
    // room for them given; overlapping the bytes it writes as the format
    // does (a match just behind the output repeats them).
    void copy_match(std::uint32_t from, std::uint32_t length) {
        std::uint32_t produced = static_cast<std::uint32_t>(out - begin);
        std::uint32_t distance = (base + produced - from) & window_mask;
        if (distance == 0) distance = 4096;
        if (distance > produced) {
            // The first bytes were written before this call.
            std::uint32_t old = std::min(length, distance - produced);
            std::uint32_t at = from & window_mask;
            std::uint32_t first = std::min(old, 4096 - at);
            copy_short(out, window + at, first);
            copy_short(out + first, window, old - first);
            out += old;
            length -= old;
            if (length == 0) return;
        }
        const std::uint8_t* source = out - distance;
        if (distance >= length) {
            copy_short(out, source, length);
            out += length;
        } else {
            for (std::uint32_t i = 0; i < length; ++i) out[i] = source[i];
            out += length;
        }
    }
};

}  // namespace

std::size_t szdd_decode(szdd_decoder* decoder, std::span<const std::uint8_t> input, std::size_t* consumed,
                        std::span<std::uint8_t> output) {
    const std::uint8_t* in = input.data();
    const std::uint8_t* const in_end = in + input.size();
    std::uint8_t* const out_end = output.data() + std::min<std::size_t>(output.size(), decoder->remaining);
    output_cursor cursor{output.data(), output.data(), decoder->window, decoder->window_pos};
    std::uint8_t*& out = cursor.out;
    std::uint32_t flags = decoder->flags;

    // Finish a match that the previous call's full output cut short.
    if (decoder->match_left > 0 && out < out_end) {
        std::uint32_t take = std::min<std::uint32_t>(decoder->match_left, static_cast<std::uint32_t>(out_end - out));
        cursor.copy_match(decoder->match_pos, take);
        decoder->match_pos += take;
        decoder->match_left -= take;
    }

    for (;;) {
        if (decoder->match_left > 0) break;
        // Whole groups of eight items, with no bounds checks inside.
        while (flags == 1 && in_end - in >= static_cast<std::ptrdiff_t>(group_input) &&
               out_end - out >= static_cast<std::ptrdiff_t>(group_output)) {
            std::uint32_t group = *in++;
            if (group == 0xFF) {
                store8(out, load8(in));
                in += 8;
                out += 8;
                continue;
            }
            for (int item = 0; item < 8; ++item, group >>= 1) {
                if (group & 1) {
                    *out++ = *in++;
                } else {
                    std::uint32_t from = in[0] | (static_cast<std::uint32_t>(in[1] & 0xF0) << 4);
                    std::uint32_t length = (in[1] & 0x0F) + 3u;
                    in += 2;
                    cursor.copy_match(from, length);
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
            *out++ = *in++;
        } else {
            if (in_end - in < 2) break;
            std::uint32_t from = in[0] | (static_cast<std::uint32_t>(in[1] & 0xF0) << 4);
            std::uint32_t length = (in[1] & 0x0F) + 3u;
            in += 2;
            std::uint32_t take = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(out_end - out));
            cursor.copy_match(from, take);
            decoder->match_pos = from + take;
            decoder->match_left = length - take;
        }
        flags >>= 1;
    }

    // The window takes the last 4096 bytes of this call's output.
    std::size_t produced = static_cast<std::size_t>(out - output.data());
    std::size_t keep = std::min<std::size_t>(produced, 4096);
    const std::uint8_t* kept = out - keep;
    std::uint32_t at = static_cast<std::uint32_t>((decoder->window_pos + produced - keep) & window_mask);
    std::size_t first = std::min<std::size_t>(keep, 4096 - at);
    if (keep > 0) {
        std::memcpy(decoder->window + at, kept, first);
        std::memcpy(decoder->window, kept + first, keep - first);
    }
    decoder->window_pos = static_cast<std::uint32_t>((decoder->window_pos + produced) & window_mask);
    decoder->flags = flags;
    decoder->remaining -= static_cast<std::uint32_t>(produced);
    *consumed = static_cast<std::size_t>(in - input.data());
    return produced;
}

}  // namespace formats
