#include "patch/apply_patch.h"

#include <memory>
#include <new>
#include <vector>

#include "formats/little_endian.h"
#include "patch/byte_sum.h"
#include "patch/patch_body.h"

namespace patch {

namespace {

constexpr std::size_t output_buffer_size = 1 << 16;

// Reads a whole file, or its first `limit` bytes, into memory.
bool read_whole(file_record* record, std::uint32_t limit, std::vector<std::uint8_t>* bytes, bool* empty) {
    std::uint32_t size = record_size(record);
    if (size == 0xFFFFFFFFu) return false;
    if (empty) *empty = size == 0;
    std::uint32_t n = size < limit ? size : limit;
    try {
        bytes->resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return n == 0 || read_record(record, bytes->data(), n);
}

bool flush_to_record(void* context, const std::uint8_t* bytes, std::size_t n) {
    return write_record(static_cast<file_record*>(context), bytes, static_cast<std::uint32_t>(n));
}

// The byte sum of the output as it lies on disk, and its digest.
bool output_sum(file_record* output, std::uint32_t* sum, platform::digest_stream* digest) {
    if (!open_record(output, record_read)) return false;
    std::uint32_t left = record_size(output);
    bool ok = left != 0xFFFFFFFFu;
    std::vector<std::uint8_t> chunk(output_buffer_size);
    *sum = 0;
    while (ok && left > 0) {
        std::uint32_t n = left < chunk.size() ? left : static_cast<std::uint32_t>(chunk.size());
        ok = read_record(output, chunk.data(), n);
        *sum = byte_sum({chunk.data(), n}, *sum);
        if (digest && ok) platform::add_to_digest(digest, chunk.data(), n);
        left -= n;
    }
    close_record(output);
    return ok;
}

bool stored_checksum(file_record* patch, std::uint32_t* checksum) {
    if (!open_record(patch, record_read)) return false;
    std::uint8_t bytes[4] = {};
    bool ok = platform::set_file_pointer(patch->handle, -4, platform::seek_from::end) &&
              read_record(patch, bytes, 4);
    close_record(patch);
    *checksum = formats::load_u32(bytes);
    return ok;
}

// The old file whole; false when it cannot be read.
bool read_old(file_record* old_file, std::vector<std::uint8_t>* old_data) {
    if (!open_record(old_file, record_read)) return false;
    bool ok = read_whole(old_file, 0xFFFFFFFFu, old_data, nullptr);
    close_record(old_file);
    return ok;
}

// Writes the new version that the body makes of the old data to `output`,
// which is closed on return.
bool write_output(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> body, file_record* output) {
    if (!open_record(output, record_write)) return false;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[output_buffer_size]);
    bool ok = buffer != nullptr;
    if (ok) {
        patch_output out{buffer.get(), output_buffer_size, 0, flush_to_record, output};
        body_result result = run_patch_body(old_data, body, &out);
        // What was produced before a fault still reaches the file.
        bool flushed = output_finish(&out);
        ok = result == body_result::ok && flushed;
    }
    close_record(output);
    return ok;
}

}  // namespace

patch_result apply_patch(file_record* patch, file_record* old_file, file_record* output,
                         platform::digest_stream* digest) {
    std::vector<std::uint8_t> old_data, body;
    bool ok = read_old(old_file, &old_data);
    if (ok) {
        ok = open_record(patch, record_read);
        if (ok) {
            // A patch shorter than its checksum is refused.
            std::uint32_t size = record_size(patch);
            ok = size != 0xFFFFFFFFu && size >= 4 && read_whole(patch, size - 4, &body, nullptr);
            close_record(patch);
        }
    }
    if (ok) ok = write_output(old_data, body, output);
    old_data = {};
    body = {};
    if (!ok) return patch_result::failed;

    std::uint32_t sum = 0, checksum = 0;
    if (!output_sum(output, &sum, digest) || !stored_checksum(patch, &checksum)) return patch_result::failed;
    return sum == checksum ? patch_result::verified : patch_result::checksum_mismatch;
}

patch_result apply_patch(std::span<const std::uint8_t> patch, file_record* old_file, file_record* output,
                         platform::digest_stream* digest) {
    std::vector<std::uint8_t> old_data;
    // A patch shorter than its checksum is refused.
    bool ok = read_old(old_file, &old_data) && patch.size() >= 4;
    if (ok) ok = write_output(old_data, patch.first(patch.size() - 4), output);
    old_data = {};
    if (!ok) return patch_result::failed;

    std::uint32_t sum = 0;
    if (!output_sum(output, &sum, digest)) return patch_result::failed;
    return sum == formats::load_u32(patch.data() + patch.size() - 4) ? patch_result::verified
                                                                      : patch_result::checksum_mismatch;
}

}  // namespace patch
