#include "builder/szdd_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "patch/szdd_decoder.h"

namespace builder {

namespace {

constexpr std::uint32_t window_size = 4096;
constexpr std::uint32_t window_mask = window_size - 1;
constexpr std::uint32_t window_start = window_size - 16;  // where the decoder writes the first byte
constexpr std::uint32_t min_match = 3;
constexpr std::uint32_t max_match = 18;
// The farthest a match reaches back. Distance 4096 would name the window
// slot that the match is about to overwrite; it is never used.
constexpr std::uint32_t max_distance = window_size - 1;
constexpr int hash_bits = 13;

// The text is `prefix` spaces (the decoder's initial window) followed by the
// data, so that a match into the initial spaces is an ordinary match.
constexpr std::uint32_t prefix = window_size;

std::uint32_t hash3(const std::uint8_t* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    return (v * 2654435761u) >> (32 - hash_bits);
}

struct match {
    std::uint32_t length = 0;
    std::uint32_t from = 0;  // text index of the first byte copied
};

// Hash chains over the last 4096 text positions. Position 0 of the text is
// never inserted, so 0 ends every chain.
struct match_finder {
    const std::uint8_t* text;
    std::uint32_t end;
    std::vector<std::uint32_t> head = std::vector<std::uint32_t>(std::size_t{1} << hash_bits, 0);
    std::vector<std::uint32_t> previous = std::vector<std::uint32_t>(window_size, 0);

    void insert(std::uint32_t at) {
        if (at + min_match > end) return;
        std::uint32_t& first = head[hash3(text + at)];
        previous[at & window_mask] = first;
        first = at;
    }

    // The longest match for the text at `at` (the first one found among
    // equals, which is the nearest).
    match longest(std::uint32_t at) const {
        match best;
        std::uint32_t limit = std::min(max_match, end - at);
        if (limit < min_match) return best;
        const std::uint8_t* here = text + at;
        std::uint32_t lowest = at - max_distance;  // at >= prefix > max_distance
        for (std::uint32_t candidate = head[hash3(here)]; candidate >= lowest && candidate != 0;
             candidate = previous[candidate & window_mask]) {
            const std::uint8_t* there = text + candidate;
            if (there[best.length] != here[best.length] || there[0] != here[0]) continue;
            std::uint32_t length = 0;
            while (length < limit && there[length] == here[length]) ++length;
            if (length > best.length) {
                best.length = length;
                best.from = candidate;
                if (length == limit) break;
            }
        }
        if (best.length < min_match) best.length = 0;
        return best;
    }
};

// Items grouped eight to a flag byte, least significant bit first.
struct item_writer {
    std::vector<std::uint8_t>& out;
    std::size_t flag_at = 0;
    int items = 8;

    void start_item(bool literal) {
        if (items == 8) {
            flag_at = out.size();
            out.push_back(0);
            items = 0;
        }
        if (literal) out[flag_at] |= static_cast<std::uint8_t>(1u << items);
        ++items;
    }
    void literal(std::uint8_t c) {
        start_item(true);
        out.push_back(c);
    }
    void copy(std::uint32_t window_pos, std::uint32_t length) {
        start_item(false);
        out.push_back(static_cast<std::uint8_t>(window_pos & 0xFF));
        out.push_back(static_cast<std::uint8_t>((window_pos >> 4 & 0xF0) | (length - min_match)));
    }
};

}  // namespace

std::vector<std::uint8_t> szdd_compress(std::span<const std::uint8_t> data) {
    if (data.size() > 0xFFFFFFFFu - prefix) throw std::length_error("SZDD holds files below 4 GiB only");
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());

    std::vector<std::uint8_t> out(patch::szdd_header_size);
    std::memcpy(out.data(), patch::szdd_magic, sizeof patch::szdd_magic);
    out[8] = 'A';
    out[9] = 0;
    for (int i = 0; i < 4; ++i) out[10 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    out.reserve(out.size() + size / 2 + 64);

    std::vector<std::uint8_t> text(prefix + std::size_t{size}, ' ');
    if (size != 0) std::memcpy(text.data() + prefix, data.data(), size);
    match_finder finder{text.data(), static_cast<std::uint32_t>(text.size())};
    for (std::uint32_t at = 1; at < prefix; ++at) finder.insert(at);

    item_writer items{out};
    auto window_pos = [](std::uint32_t text_index) { return (text_index - prefix + window_start) & window_mask; };

    // Lazy matching: a match is taken only when the next position does not
    // start a longer one; otherwise this byte goes out as a literal.
    std::uint32_t at = prefix;
    const std::uint32_t end = finder.end;
    match current = at < end ? finder.longest(at) : match{};
    if (at < end) finder.insert(at);
    while (at < end) {
        if (current.length == 0) {
            items.literal(text[at]);
            ++at;
            if (at < end) {
                current = finder.longest(at);
                finder.insert(at);
            }
            continue;
        }
        if (current.length < max_match && at + 1 < end) {
            match next = finder.longest(at + 1);
            finder.insert(at + 1);
            if (next.length > current.length) {
                items.literal(text[at]);
                ++at;
                current = next;
                continue;
            }
            items.copy(window_pos(current.from), current.length);
            for (std::uint32_t p = at + 2; p < at + current.length; ++p) finder.insert(p);
        } else {
            items.copy(window_pos(current.from), current.length);
            for (std::uint32_t p = at + 1; p < at + current.length; ++p) finder.insert(p);
        }
        at += current.length;
        if (at < end) {
            current = finder.longest(at);
            finder.insert(at);
        }
    }
    return out;
}

}  // namespace builder
