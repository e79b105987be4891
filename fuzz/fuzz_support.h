// Helpers the fuzz targets share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "patch/szdd_decoder.h"

namespace fuzz {

// Stops the run with a message when a property the target checks fails;
// libFuzzer keeps the input that did it.
inline void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Sizes from 1 to `largest` taken in turn from a few bytes of the input,
// over and over; always 1 when there are none.
struct size_source {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    std::size_t next(std::size_t largest) {
        if (bytes.empty()) return 1;
        return 1 + bytes[at++ % bytes.size()] % largest;
    }
};

// The items of an SZDD file (what follows its header) decoded in one call,
// into an output that holds all they can make: an item of two input bytes
// makes at most 18, so no input byte makes more than 9.
inline std::vector<std::uint8_t> szdd_decode_whole(std::span<const std::uint8_t> items,
                                                   std::uint32_t expanded_length) {
    auto decoder = std::make_unique<patch::szdd_decoder>();
    patch::szdd_decoder_start(decoder.get(), expanded_length);
    std::size_t bound = items.size() * 9 + 18;
    std::vector<std::uint8_t> out(std::min<std::size_t>(expanded_length, bound));
    std::size_t consumed = 0;
    std::size_t produced = patch::szdd_decode(decoder.get(), items, &consumed, out);
    require(consumed <= items.size(), "the decoder used more input than it was given");
    require(produced <= out.size(), "the decoder produced more than its output holds");
    require(decoder->remaining == expanded_length - produced, "the decoder's remaining count is off");
    out.resize(produced);
    return out;
}

// The same items decoded as a reader feeds them: the input arriving in
// chunks of the sizes `sizes` gives, an item cut by a chunk's end offered
// again with the next chunk, the output taken in pieces of 1 to 64 bytes.
inline std::vector<std::uint8_t> szdd_decode_chunked(std::span<const std::uint8_t> items,
                                                     std::uint32_t expanded_length, size_source sizes) {
    auto decoder = std::make_unique<patch::szdd_decoder>();
    patch::szdd_decoder_start(decoder.get(), expanded_length);
    std::vector<std::uint8_t> out;
    std::uint8_t piece[64];
    std::size_t at = 0, end = 0;
    auto more_input = [&] { end = std::min(items.size(), end + sizes.next(40)); };
    while (decoder->remaining > 0) {
        // A match cut short by the last call's full output needs no input.
        if (at == end) more_input();
        std::size_t capacity = sizes.next(sizeof piece);
        std::size_t consumed = 0;
        std::uint32_t remaining = decoder->remaining;
        std::size_t produced =
            patch::szdd_decode(decoder.get(), items.subspan(at, end - at), &consumed, {piece, capacity});
        require(consumed <= end - at, "the decoder used more input than it was given");
        require(produced <= capacity && produced <= remaining, "the decoder produced more than it may");
        require(decoder->remaining == remaining - produced, "the decoder's remaining count is off");
        out.insert(out.end(), piece, piece + produced);
        at += consumed;
        if (produced == 0 && consumed == 0) {
            if (end == items.size()) break;
            more_input();
        }
    }
    return out;
}

}  // namespace fuzz
