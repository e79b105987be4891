#include "builder/szdd_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "builder/work_counter.h"
#include "formats/little_endian.h"
#include "formats/szdd.h"

namespace builder {

namespace {

constexpr std::uint32_t window_size = 4096;
constexpr std::uint32_t window_mask = window_size - 1;
constexpr std::uint32_t window_start = window_size - 16;  // where the decoder writes the first byte
constexpr std::uint32_t min_match = 3;
constexpr std::uint32_t max_match = 18;

// The text is `prefix` spaces (the decoder's initial window) followed by the
// data, so that a match into the initial spaces is an ordinary match, and
// padding that keeps every key 18 bytes long.
constexpr std::uint32_t prefix = window_size;

static_assert(std::endian::native == std::endian::little);

constexpr std::uint16_t no_node = 0xFFFF;
// Bytes past the data that the key comparisons may read.
constexpr std::uint32_t padding = 32;

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// How many of the first 18 bytes two keys share, given that the first byte
// is equal; compared 8 bytes at a time (little-endian order).
std::uint32_t common_length(const std::uint8_t* a, const std::uint8_t* b) {
    for (std::uint32_t at = 1; at < max_match; at += 8) {
        std::uint64_t difference = load64(a + at) ^ load64(b + at);
        if (difference != 0)
            return std::min(max_match, at + static_cast<std::uint32_t>(std::countr_zero(difference)) / 8);
    }
    return max_match;
}

// A binary search tree of the 18-byte strings that start at the last 4095
// text positions, one node per window slot (position & 4095), one tree per
// first byte. Inserting a position walks the path on which its
// lexicographic neighbours lie, so it also finds the longest match for it;
// the slot of the position 4096 back, the one the match would overwrite,
// leaves the tree first. Among equal strings only the newest stays.
struct match_tree {
    const std::uint8_t* text;
    std::uint16_t left[window_size], right[window_size], parent[window_size];
    std::uint32_t position[window_size];  // text position of each slot's node
    bool in_tree[window_size] = {};
    std::uint16_t root[256];

    explicit match_tree(const std::uint8_t* t) : text(t) { std::fill(std::begin(root), std::end(root), no_node); }

    // Where a link to `node` is held: a child field of its parent or a root.
    std::uint16_t& link_to(std::uint16_t node) {
        if (parent[node] == no_node) return root[text[position[node]]];
        std::uint16_t up = parent[node];
        return left[up] == node ? left[up] : right[up];
    }

    void replace(std::uint16_t old_node, std::uint16_t new_node) {
        link_to(old_node) = new_node;
        parent[new_node] = parent[old_node];
        left[new_node] = left[old_node];
        right[new_node] = right[old_node];
        if (left[new_node] != no_node) parent[left[new_node]] = new_node;
        if (right[new_node] != no_node) parent[right[new_node]] = new_node;
        in_tree[old_node] = false;
    }

    void remove(std::uint16_t node) {
        if (!in_tree[node]) return;
        if (left[node] == no_node || right[node] == no_node) {
            std::uint16_t child = left[node] != no_node ? left[node] : right[node];
            link_to(node) = child;
            if (child != no_node) parent[child] = parent[node];
            in_tree[node] = false;
            return;
        }
        // Two children: the greatest node of the left subtree takes its place.
        std::uint16_t last = left[node];
        while (right[last] != no_node) last = right[last];
        if (last != left[node]) {
            link_to(last) = left[last];
            if (left[last] != no_node) parent[left[last]] = parent[last];
        } else {
            left[node] = left[last];
        }
        link_to(node) = last;
        parent[last] = parent[node];
        left[last] = left[node];
        right[last] = right[node];
        if (left[last] != no_node) parent[left[last]] = last;
        parent[right[last]] = last;
        in_tree[node] = false;
    }

    // Inserts text position `at`; returns the longest common prefix (up to
    // 18) with any string in the tree and sets *from to that string's
    // position.
    std::uint32_t insert(std::uint32_t at, std::uint32_t* from) {
        std::uint16_t node = static_cast<std::uint16_t>(at & window_mask);
        remove(node);
        position[node] = at;
        left[node] = right[node] = no_node;
        in_tree[node] = true;
        const std::uint8_t* key = text + at;
        std::uint16_t* link = &root[key[0]];
        std::uint16_t up = no_node;
        std::uint32_t best = 0;
        while (*link != no_node) {
            std::uint16_t other = *link;
            const std::uint8_t* there = text + position[other];
            std::uint32_t length = common_length(key, there);
            if (length > best) {
                best = length;
                *from = position[other];
            }
            if (length == max_match) {
                replace(other, node);
                return best;
            }
            up = other;
            link = key[length] < there[length] ? &left[other] : &right[other];
        }
        *link = node;
        parent[node] = up;
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

// The parse's part: its working arrays take 3 bytes per position.
constexpr std::uint32_t part_limit = 1u << 20;

// Item costs in bits, flag bit included.
constexpr std::uint32_t literal_bits = 9;
constexpr std::uint32_t match_bits = 17;

}  // namespace

std::vector<std::uint8_t> szdd_compress(std::span<const std::uint8_t> data, std::atomic<std::uint64_t>* work) {
    if (data.size() > 0xFFFFFFFFu - prefix - padding)
        throw std::length_error("SZDD holds files below 4 GiB only");
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());

    std::vector<std::uint8_t> out(formats::szdd_header_size);
    std::memcpy(out.data(), formats::szdd_magic, sizeof formats::szdd_magic);
    out[8] = 'A';
    out[9] = 0;
    formats::store_u32(&out[10], size);
    // The most the items can take (a flag bit per literal): pages that are
    // never written cost no memory.
    out.reserve(out.size() + std::size_t{size} + size / 8 + 1);

    std::vector<std::uint8_t> text(prefix + std::size_t{size} + padding, ' ');
    if (size != 0) std::memcpy(text.data() + prefix, data.data(), size);
    std::fill(text.end() - padding, text.end(), 0);

    // The data is parsed a part at a time, so that the working arrays stay
    // those of one part: the longest match at every position of the part
    // (cut at its end), then the cheapest parse of the part, from its end
    // backwards (any prefix of the longest match at a position is a match
    // too). An item never crosses a part's end, which costs at most a few
    // bits per part.
    auto tree = std::make_unique<match_tree>(text.data());
    std::uint32_t from = 0;
    for (std::uint32_t at = 1; at < prefix; ++at) tree->insert(at, &from);
    const std::uint32_t part_size = std::min(size, part_limit);
    std::vector<std::uint8_t> length(part_size);
    std::vector<std::uint16_t> slot(part_size);
    work_counter done{work};
    item_writer items{out};
    for (std::uint32_t part = 0; part < size; part += part_size) {
        const std::uint32_t n = std::min(part_size, size - part);
        for (std::uint32_t i = 0; i < n; ++i) {
            if ((i & 0xFFFF) == 0) done.reach(part + i);
            std::uint32_t found = std::min(tree->insert(prefix + part + i, &from), n - i);
            length[i] = static_cast<std::uint8_t>(found >= min_match ? found : 0);
            slot[i] = static_cast<std::uint16_t>((from - prefix + window_start) & window_mask);
        }
        // length[i] becomes the length of the item chosen at i (0 for a
        // literal).
        constexpr std::uint32_t ring = 32;  // cost of the rest from position p: cost[p % 32]
        std::uint64_t cost[ring] = {};
        for (std::uint32_t i = n; i-- > 0;) {
            std::uint64_t best = literal_bits + cost[(i + 1) % ring];
            std::uint8_t choice = 0;
            for (std::uint32_t l = min_match; l <= length[i]; ++l) {
                std::uint64_t with_match = match_bits + cost[(i + l) % ring];
                if (with_match < best) {
                    best = with_match;
                    choice = static_cast<std::uint8_t>(l);
                }
            }
            cost[i % ring] = best;
            length[i] = choice;
        }
        for (std::uint32_t i = 0; i < n;) {
            if (length[i] == 0) {
                items.literal(data[part + i]);
                ++i;
            } else {
                items.copy(slot[i], length[i]);
                i += length[i];
            }
        }
    }
    done.finish(size);
    return out;
}

}  // namespace builder
