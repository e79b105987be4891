// A writer of binary patches, for tests only: instructions appended one by
// one, and random edits of an old file that use every instruction form,
// each with the new file the patch must produce. The expected new file is
// worked out here, instruction by instruction, independently of the engine.
#pragma once

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "formats/little_endian.h"
#include "support/test_support.h"

namespace testing_support {

enum class run_form { short_run, u8, u16, u32 };

inline void put_u16(bytes* out, std::uint32_t value) {
    out->push_back(static_cast<std::uint8_t>(value));
    out->push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void put_u32(bytes* out, std::uint32_t value) { formats::append_u32(out, value); }

// Copies `count` old bytes from the old cursor, then writes `literal`.
inline void put_run(bytes* body, run_form form, std::uint32_t count, std::uint8_t literal) {
    switch (form) {
    case run_form::short_run:
        if (count > 127) throw std::invalid_argument("short run of more than 127");
        body->push_back(static_cast<std::uint8_t>(0x80 | count));
        break;
    case run_form::u8:
        if (count > 0xFF) throw std::invalid_argument("u8 run of more than 255");
        body->push_back(0x04);
        body->push_back(static_cast<std::uint8_t>(count));
        break;
    case run_form::u16:
        if (count > 0xFFFF) throw std::invalid_argument("u16 run of more than 65535");
        body->push_back(0x02);
        put_u16(body, count);
        break;
    case run_form::u32:
        body->push_back(0x01);
        put_u32(body, count);
        break;
    }
    body->push_back(literal);
}

// Copies `copy` old bytes from `source`, writes `literals`, then puts the
// old cursor at `next`.
inline void put_block(bytes* body, std::uint32_t source, std::uint32_t copy, const bytes& literals,
                      std::uint32_t next, std::uint32_t literal_length_field) {
    body->push_back(0x00);
    put_u32(body, source);
    put_u32(body, copy);
    put_u32(body, literal_length_field);
    put_u32(body, next);
    body->insert(body->end(), literals.begin(), literals.end());
}

inline void put_block(bytes* body, std::uint32_t source, std::uint32_t copy, const bytes& literals,
                      std::uint32_t next) {
    put_block(body, source, copy, literals, next, static_cast<std::uint32_t>(literals.size()));
}

// A patch file: the body, then the u32 checksum.
inline bytes patch_file(const bytes& body, std::uint32_t checksum) {
    bytes file = body;
    put_u32(&file, checksum);
    return file;
}

// How often a random patch used each kind of instruction, so that a test
// can tell that its patches really exercised them all.
struct patch_stats {
    int runs[4] = {};              // by run_form
    int runs_of_zero = 0;
    int runs_over_65535 = 0;
    int blocks_copy_and_literals = 0;
    int blocks_copy_only = 0;
    int blocks_literals_only = 0;
    int blocks_reposition_only = 0;
    int backward_moves = 0;
};

struct random_patch {
    bytes body;
    bytes expected;  // the new file the body makes from the old data
};

// A random edit of `old_data` in `instructions` instructions.
inline random_patch make_random_patch(const bytes& old_data, std::uint32_t seed, int instructions,
                                      patch_stats* stats) {
    std::mt19937 random(seed);
    auto below = [&](std::uint64_t n) { return n == 0 ? 0 : static_cast<std::uint64_t>(random() % n); };
    const std::uint64_t old_size = old_data.size();
    random_patch out;
    std::uint64_t cursor = 0;

    for (int i = 0; i < instructions; ++i) {
        bool block = below(3) == 0;
        if (!block) {
            run_form form = static_cast<run_form>(below(4));
            const std::uint64_t form_limit = form == run_form::short_run ? 127
                                             : form == run_form::u8      ? 255
                                             : form == run_form::u16     ? 65535
                                                                         : 0xFFFFFFFFu;
            std::uint64_t available = cursor < old_size ? old_size - cursor : 0;
            std::uint64_t limit = available < form_limit ? available : form_limit;
            std::uint64_t count;
            switch (below(4)) {
            case 0: count = 0; break;
            case 1: count = limit; break;  // as long as the form and the old data allow
            default: count = below(limit < 300 ? limit + 1 : 300); break;
            }
            std::uint8_t literal = static_cast<std::uint8_t>(random());
            put_run(&out.body, form, static_cast<std::uint32_t>(count), literal);
            out.expected.insert(out.expected.end(), old_data.begin() + static_cast<std::ptrdiff_t>(cursor),
                                old_data.begin() + static_cast<std::ptrdiff_t>(cursor + count));
            out.expected.push_back(literal);
            cursor += count + 1;
            ++stats->runs[static_cast<int>(form)];
            if (count == 0) ++stats->runs_of_zero;
            if (count > 65535) ++stats->runs_over_65535;
        } else {
            std::uint64_t source = below(old_size + 1);
            std::uint64_t copy = below(2) == 0 ? 0 : below(old_size - source + 1);
            bytes literals(below(2) == 0 ? 0 : below(64) + 1);
            for (std::uint8_t& b : literals) b = static_cast<std::uint8_t>(random());
            // Back to the start (so that long runs follow), anywhere, or a
            // little way back.
            std::uint64_t next;
            switch (below(3)) {
            case 0: next = 0; break;
            case 1: next = below(old_size + 1); break;
            default: next = cursor > 50 ? cursor - below(50) - 1 : 0; break;
            }
            put_block(&out.body, static_cast<std::uint32_t>(source), static_cast<std::uint32_t>(copy), literals,
                      static_cast<std::uint32_t>(next));
            out.expected.insert(out.expected.end(), old_data.begin() + static_cast<std::ptrdiff_t>(source),
                                old_data.begin() + static_cast<std::ptrdiff_t>(source + copy));
            out.expected.insert(out.expected.end(), literals.begin(), literals.end());
            if (copy != 0 && !literals.empty()) ++stats->blocks_copy_and_literals;
            else if (copy != 0) ++stats->blocks_copy_only;
            else if (!literals.empty()) ++stats->blocks_literals_only;
            else ++stats->blocks_reposition_only;
            if (next < cursor) ++stats->backward_moves;
            cursor = next;
        }
    }
    return out;
}

}  // namespace testing_support
