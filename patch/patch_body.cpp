#include "patch/patch_body.h"

#include <cstring>

#include "formats/little_endian.h"

namespace patch {

using formats::load_u16;
using formats::load_u32;

bool output_bytes(patch_output* out, const std::uint8_t* bytes, std::size_t n) {
    if (out->used + n > out->capacity) {
        if (out->used > 0 && !out->flush(out->context, out->buffer, out->used)) return false;
        out->used = 0;
        if (n >= out->capacity) return out->flush(out->context, bytes, n);
    }
    std::memcpy(out->buffer + out->used, bytes, n);
    out->used += n;
    return true;
}

bool output_finish(patch_output* out) {
    bool ok = out->used == 0 || out->flush(out->context, out->buffer, out->used);
    out->used = 0;
    return ok;
}

body_result run_patch_body(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> body,
                           patch_output* out) {
    const std::uint8_t* old_bytes = old_data.data();
    const std::uint64_t old_size = old_data.size();
    const std::uint8_t* p = body.data();
    const std::size_t size = body.size();
    std::size_t at = 0;
    std::uint64_t cursor = 0;

    while (at < size) {
        std::uint8_t op = p[at];
        if (op == op_block) {
            if (size - at - 1 < block_header_size) return body_result::malformed;
            std::uint64_t source = load_u32(p + at + 1);
            std::uint64_t copy = load_u32(p + at + 5);
            std::uint64_t literal = load_u32(p + at + 9);
            std::uint32_t next = load_u32(p + at + 13);
            at += 1 + block_header_size;
            if (source + copy > old_size || literal > size - at) return body_result::malformed;
            if (copy != 0 && !output_bytes(out, old_bytes + source, copy)) return body_result::write_failed;
            if (literal != 0 && !output_bytes(out, p + at, literal)) return body_result::write_failed;
            at += literal;
            cursor = next;
            continue;
        }

        std::uint64_t count;
        if (op & 0x80) {
            count = op & 0x7Fu;
            at += 1;
        } else if (op == op_run32) {
            if (size - at - 1 < 4) return body_result::malformed;
            count = load_u32(p + at + 1);
            at += 5;
        } else if (op == op_run16) {
            if (size - at - 1 < 2) return body_result::malformed;
            count = load_u16(p + at + 1);
            at += 3;
        } else if (op == op_run8) {
            if (size - at - 1 < 1) return body_result::malformed;
            count = p[at + 1];
            at += 2;
        } else {
            return body_result::malformed;
        }
        if (at >= size || (count != 0 && cursor + count > old_size)) return body_result::malformed;
        if (count != 0 && !output_bytes(out, old_bytes + cursor, count)) return body_result::write_failed;
        if (!output_bytes(out, p + at, 1)) return body_result::write_failed;
        at += 1;
        cursor += count + 1;
    }
    return body_result::ok;
}

}  // namespace patch
