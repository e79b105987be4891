#include "builder/diff_alignment.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "builder/work_counter.h"

namespace builder {

namespace {

static_assert(std::is_same_v<saidx_t, std::int32_t>);

// How far ahead a candidate alignment is compared with the current one.
constexpr std::int64_t ahead_span = 128;

std::int64_t common_prefix(const std::uint8_t* a, std::int64_t a_size, const std::uint8_t* b, std::int64_t b_size) {
    std::int64_t limit = std::min(a_size, b_size), i = 0;
    while (i < limit && a[i] == b[i]) ++i;
    return i;
}

// A suffix's first two bytes as a number; a one-byte suffix (at the
// piece's end) sorts first among those that share its byte.
std::uint32_t bucket_key(std::span<const std::uint8_t> old_data, std::uint32_t end, std::int32_t at) {
    std::uint32_t first = old_data[static_cast<std::size_t>(at)];
    return static_cast<std::uint32_t>(at) + 1 < end ? first << 8 | old_data[static_cast<std::size_t>(at) + 1] : first << 8;
}

}  // namespace

suffix_index sort_suffixes(std::span<const std::uint8_t> old_data) {
    if (old_data.size() < whole_index_limit) return sort_suffixes(old_data, old_data.size(), 1);
    return sort_suffixes(old_data, (old_data.size() + 1) / 2, 2);
}

suffix_index sort_suffixes(std::span<const std::uint8_t> old_data, std::size_t piece_size, std::uint32_t step) {
    if (old_data.size() >= 0x3FFFFFFFu) throw std::length_error("patches are made for files below 1 GiB only");
    suffix_index index;
    step = std::max<std::uint32_t>(step, 1);
    index.step = step;
    if (old_data.empty()) return index;
    piece_size = std::max<std::size_t>(piece_size, 1);
    index.pieces.reserve((old_data.size() + piece_size - 1) / piece_size);
    for (std::size_t begin = 0; begin < old_data.size(); begin += piece_size) {
        const std::size_t length = std::min(piece_size, old_data.size() - begin);
        suffix_piece piece;
        piece.end = static_cast<std::uint32_t>(begin + length);
        // Sorted in a buffer of its own that is then cut down in place to
        // the kept suffixes, so that no second buffer is ever needed.
        piece.suffixes.reset(static_cast<std::int32_t*>(std::malloc(length * sizeof(std::int32_t))));
        if (!piece.suffixes) throw std::bad_alloc();
        std::int32_t* sorted = piece.suffixes.get();
        if (divsufsort(old_data.data() + begin, sorted, static_cast<saidx_t>(length)) != 0) throw std::bad_alloc();
        for (std::size_t i = 0; i < length; ++i)
            if (static_cast<std::uint32_t>(sorted[i]) % step == 0)
                sorted[piece.count++] = static_cast<std::int32_t>(begin) + sorted[i];
        if (piece.count < length) {
            void* smaller = std::realloc(sorted, std::max<std::size_t>(piece.count, 1) * sizeof(std::int32_t));
            if (smaller) {
                piece.suffixes.release();
                piece.suffixes.reset(static_cast<std::int32_t*>(smaller));
            }
        }
        // The keys rise along the sorted suffixes: counted, then summed.
        piece.buckets.assign(65537, 0);
        for (std::size_t i = 0; i < piece.count; ++i) ++piece.buckets[bucket_key(old_data, piece.end, piece.suffixes[i]) + 1];
        for (std::size_t k = 1; k < piece.buckets.size(); ++k) piece.buckets[k] += piece.buckets[k - 1];
        index.pieces.push_back(std::move(piece));
    }
    return index;
}

namespace {

// The longest match of `needle` among the piece's kept suffixes.
old_match piece_match(const suffix_piece& piece, std::span<const std::uint8_t> old_data,
                      std::span<const std::uint8_t> needle) {
    old_match best;
    const std::uint8_t* old_bytes = old_data.data();
    const std::int64_t old_size = static_cast<std::int64_t>(old_data.size());
    const std::int64_t needle_size = static_cast<std::int64_t>(needle.size());
    const std::int32_t* suffixes = piece.suffixes.get();
    if (piece.count == 0) return best;
    // Narrow down to the two neighbouring suffixes that the needle sorts
    // between, in the piece's order; the longest match is one of them. The
    // suffixes that share the needle's first two bytes are the only ones
    // that can match more than one byte: the search starts among them.
    std::size_t low = 0, high = piece.count - 1;
    if (needle_size >= 2) {
        std::uint32_t key = needle[0] << 8 | needle[1];
        if (piece.buckets[key] < piece.buckets[key + 1]) {
            low = piece.buckets[key];
            high = piece.buckets[key + 1] - 1;
        }
    }
    while (high - low > 1) {
        std::size_t middle = low + (high - low) / 2;
        std::int64_t at = suffixes[middle];
        std::int64_t suffix_size = piece.end - at;
        std::size_t compared = static_cast<std::size_t>(std::min(suffix_size, needle_size));
        int order = std::memcmp(old_bytes + at, needle.data(), compared);
        // A suffix that is a proper prefix of the needle sorts before it.
        if (order < 0 || (order == 0 && suffix_size < needle_size))
            low = middle;
        else
            high = middle;
    }
    // The match may run on past the piece's end.
    for (std::size_t i : {low, high}) {
        std::int64_t at = suffixes[i];
        std::int64_t length = common_prefix(old_bytes + at, old_size - at, needle.data(), needle_size);
        if (length > best.length) best = {length, at};
    }
    return best;
}

}  // namespace

old_match longest_match(const suffix_index& index, std::span<const std::uint8_t> old_data,
                        std::span<const std::uint8_t> needle) {
    old_match best;
    for (std::uint32_t shift = 0; shift < index.step && shift < needle.size(); ++shift) {
        const std::span<const std::uint8_t> rest = needle.subspan(shift);
        for (const suffix_piece& piece : index.pieces) {
            old_match found = piece_match(piece, old_data, rest);
            if (found.length == 0 || found.old_pos < shift) continue;
            if (shift != 0 && std::memcmp(old_data.data() + found.old_pos - shift, needle.data(), shift) != 0) continue;
            if (found.length + shift > best.length) best = {found.length + shift, found.old_pos - shift};
        }
    }
    return best;
}

std::vector<diff_segment> align_files(const suffix_index& index, std::span<const std::uint8_t> old_data,
                                      std::span<const std::uint8_t> new_data, std::atomic<std::uint64_t>* work) {
    if (new_data.size() >= 0x3FFFFFFFu) throw std::length_error("patches are made for files below 1 GiB only");
    const std::uint8_t* old_bytes = old_data.data();
    const std::uint8_t* new_bytes = new_data.data();
    const std::int64_t old_size = static_cast<std::int64_t>(old_data.size());
    const std::int64_t new_size = static_cast<std::int64_t>(new_data.size());

    work_counter scanned{work};

    auto agrees = [&](std::int64_t new_pos, std::int64_t old_pos) {
        return old_pos >= 0 && old_pos < old_size && old_bytes[old_pos] == new_bytes[new_pos];
    };

    // Whether alignment `offset` agrees with more of the new bytes from
    // `from` on than `current` does, by more than one in eight over
    // ahead_span bytes. Regular data (tables of records, code whose
    // addresses moved) can keep a wrong alignment agreeing with most bytes
    // while no single match beats it by 8; what the better one agrees on
    // beyond its match settles it.
    auto more_ahead = [&](std::int64_t from, std::int64_t match_length, std::int64_t offset, std::int64_t current) {
        // First a quick look past the match's end: an alignment that stops
        // agreeing there (as a chance match's does) is no better one.
        std::int64_t past = 0;
        for (std::int64_t i = from + match_length + 1; i < std::min(new_size, from + match_length + 17); ++i)
            past += static_cast<std::int64_t>(agrees(i, i + offset));
        if (past < 8) return false;
        const std::int64_t stop = std::min(new_size, from + ahead_span);
        std::int64_t lead = 0;
        for (std::int64_t i = from; i < stop; ++i)
            lead += static_cast<std::int64_t>(agrees(i, i + offset)) - static_cast<std::int64_t>(agrees(i, i + current));
        return lead > ahead_span / 8;
    };

    std::vector<diff_segment> segments;
    auto add_segment = [&](std::int64_t new_start, std::int64_t delta) {
        if (!segments.empty() && segments.back().new_start == new_start) segments.pop_back();
        if (!segments.empty() && segments.back().delta == delta) return;
        segments.push_back({static_cast<std::uint32_t>(new_start), delta});
    };

    // The current segment starts at last_scan against old last_pos. The scan
    // looks for the next point where a match found in the old file beats
    // the current alignment by more than 8 bytes (or is as good, but
    // elsewhere), or beats it at all and its alignment agrees with more of
    // the next bytes (more_ahead); the current segment is then extended
    // forwards, the new match backwards, and the new segment starts where
    // they meet.
    std::int64_t scan = 0, length = 0, pos = 0;
    std::int64_t last_scan = 0, last_pos = 0, last_offset = 0;
    while (scan < new_size) {
        std::int64_t old_score = 0;
        std::int64_t scored = scan += length;
        for (; scan < new_size; ++scan) {
            scanned.reach(static_cast<std::uint64_t>(scan));
            old_match found = longest_match(index, old_data, new_data.subspan(static_cast<std::size_t>(scan)));
            length = found.length;
            pos = found.old_pos;
            for (; scored < scan + length; ++scored)
                if (agrees(scored, scored + last_offset)) ++old_score;
            if ((length == old_score && length != 0) || length > old_score + 8) break;
            if (length > old_score && pos - scan != last_offset && more_ahead(scan, length, pos - scan, last_offset)) break;
            if (agrees(scan, scan + last_offset)) --old_score;
        }
        if (length == old_score && scan != new_size) continue;

        // Forwards from the current segment's start: the length that most
        // exceeds half agreement.
        std::int64_t forward = 0;
        {
            std::int64_t same = 0, best_score = 0;
            for (std::int64_t i = 0; last_scan + i < scan && last_pos + i < old_size;) {
                if (old_bytes[last_pos + i] == new_bytes[last_scan + i]) ++same;
                ++i;
                if (same * 2 - i > best_score * 2 - forward) {
                    best_score = same;
                    forward = i;
                }
            }
        }
        // Backwards from the new match.
        std::int64_t backward = 0;
        if (scan < new_size) {
            std::int64_t same = 0, best_score = 0;
            for (std::int64_t i = 1; scan >= last_scan + i && pos >= i; ++i) {
                if (old_bytes[pos - i] == new_bytes[scan - i]) ++same;
                if (same * 2 - i > best_score * 2 - backward) {
                    best_score = same;
                    backward = i;
                }
            }
        }
        // Where the two overlap, cut at the point that keeps the most
        // agreeing bytes.
        if (last_scan + forward > scan - backward) {
            std::int64_t overlap = (last_scan + forward) - (scan - backward);
            std::int64_t score = 0, best_score = 0, keep = 0;
            for (std::int64_t i = 0; i < overlap; ++i) {
                std::int64_t back = forward - overlap + i;
                if (new_bytes[last_scan + back] == old_bytes[last_pos + back]) ++score;
                if (new_bytes[scan - backward + i] == old_bytes[pos - backward + i]) --score;
                if (score > best_score) {
                    best_score = score;
                    keep = i + 1;
                }
            }
            backward -= keep;
        }

        add_segment(last_scan, last_pos - last_scan);
        last_scan = scan - backward;
        last_pos = pos - backward;
        last_offset = pos - scan;
    }
    scanned.finish(new_data.size());
    return segments;
}

}  // namespace builder
