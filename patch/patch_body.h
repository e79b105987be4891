// The instructions of a binary patch body, and their interpreter.
//
//   0x00 block: u32 source offset, u32 copy length, u32 literal length,
//        u32 next old offset, then the literal bytes. Writes copy-length
//        bytes of old data from the source offset, then the literals, then
//        puts the old cursor at the next old offset.
//   0x80-0xFF run of (opcode & 0x7F), 0x01 run of a u32, 0x02 of a u16,
//        0x04 of a u8, each followed by one literal byte. A run of c writes
//        c old bytes from the old cursor, then the literal; the cursor moves
//        by c + 1, so the literal takes the place of one old byte.
// Integers are little-endian. Every other opcode is malformed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace patch {

inline constexpr std::uint8_t op_block = 0x00;
inline constexpr std::uint8_t op_run32 = 0x01;
inline constexpr std::uint8_t op_run16 = 0x02;
inline constexpr std::uint8_t op_run8 = 0x04;
inline constexpr std::uint8_t op_short_run = 0x80;  // | count, count 0..127
inline constexpr std::size_t block_header_size = 16;

// Where the new file's bytes go: gathered in a buffer and handed to flush
// whenever it fills (and once more at the end).
struct patch_output {
    std::uint8_t* buffer;
    std::size_t capacity;
    std::size_t used;
    bool (*flush)(void* context, const std::uint8_t* bytes, std::size_t n);
    void* context;
};

bool output_bytes(patch_output* out, const std::uint8_t* bytes, std::size_t n);
bool output_finish(patch_output* out);

enum class body_result { ok, malformed, write_failed };

// Interprets the body against the old data. Never reads outside either
// span: an instruction that would is malformed, and what came before it
// has been handed to the output.
body_result run_patch_body(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> body,
                           patch_output* out);

}  // namespace patch
