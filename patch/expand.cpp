#include "patch/expand.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "formats/szdd.h"
#include "platform/files.h"
#include "platform/lz.h"

namespace patch {

namespace {

// The LZ library is read 32000 bytes at a time, and the destination
// written once the buffer is full: 16 reads make 125 whole pages of 4 KB,
// which the system writes faster than pieces that end inside a page.
constexpr std::uint32_t lz_read_size = 32000;
constexpr std::uint32_t copy_buffer_size = 16 * lz_read_size;

// Expands source into `put`, which takes each full copy buffer (and the
// last part) and returns whether it kept it. The source is opened once: its
// header is read first, because Windows' LZRead does not report data that
// ends early, so the expanded length it gives is what tells a complete
// expansion from a truncated one; the LZ library then reads the same open
// file from its start.
template <class Put>
expand_result copy_expanded(const char* source, char* buffer, const Put& put) {
    platform::unique_file file(
        platform::create_file(source, platform::access::read, platform::disposition::open_existing));
    if (!file.valid()) return expand_result::cannot_open_source;
    std::uint8_t bytes[formats::szdd_header_size];
    std::uint32_t got = 0;
    formats::szdd_header header;
    if (!platform::read_file(file.get(), bytes, sizeof bytes, &got) || got != sizeof bytes ||
        !formats::parse_szdd_header(bytes, &header) || header.mode != 'A')
        return expand_result::bad_data;
    if (!platform::set_file_pointer(file.get(), 0, platform::seek_from::begin))
        return expand_result::cannot_open_source;
    int lz = platform::lz_init(file.get());
    if (lz <= 0) return expand_result::cannot_open_source;
    file.release();  // the LZ handle closes it

    expand_result result = expand_result::ok;
    std::uint32_t left = header.expanded_length;
    int n = 1;
    while (left > 0 && n > 0) {
        std::uint32_t held = 0;
        while (held < copy_buffer_size && held < left) {
            n = platform::lz_read(lz, buffer + held, static_cast<int>(std::min(lz_read_size, copy_buffer_size - held)));
            if (n <= 0) break;
            held += static_cast<std::uint32_t>(n);
        }
        if (held == 0) break;
        // Data beyond the expanded length is not part of the file.
        std::uint32_t take = std::min(held, left);
        result = put(buffer, take);
        if (result != expand_result::ok) break;
        left -= take;
    }
    if (result == expand_result::ok && left > 0) result = expand_result::bad_data;
    platform::lz_close(lz);
    return result;
}

// Writes each piece to the open file `out`, and adds it to `digest`.
expand_result copy_expanded(const char* source, platform::file_handle out, char* buffer,
                            platform::digest_stream* digest) {
    return copy_expanded(source, buffer, [&](const char* bytes, std::uint32_t n) {
        std::uint32_t written = 0;
        if (!platform::write_file(out, bytes, n, &written) || written != n) return expand_result::write_failed;
        if (digest) platform::add_to_digest(digest, bytes, n);
        return expand_result::ok;
    });
}

}  // namespace

expand_result expand(const char* source, const char* destination, platform::digest_stream* digest) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[copy_buffer_size]);
    if (!buffer) return expand_result::no_memory;

    platform::unique_file out(
        platform::create_file(destination, platform::access::write, platform::disposition::create_always));
    if (!out.valid()) return expand_result::cannot_open_destination;
    expand_result result = copy_expanded(source, out.get(), buffer.get(), digest);
    out.reset();

    if (result == expand_result::ok)
        platform::delete_file(source);
    else if (result == expand_result::bad_data || result == expand_result::write_failed)
        platform::delete_file(destination);
    return result;
}

expand_result expand_into(const char* source, platform::unique_file* destination, platform::digest_stream* digest) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[copy_buffer_size]);
    expand_result result = buffer ? copy_expanded(source, destination->get(), buffer.get(), digest)
                                  : expand_result::no_memory;
    destination->reset();
    if (result == expand_result::ok) platform::delete_file(source);
    return result;
}

expand_result expand_to_memory(const char* source, std::vector<std::uint8_t>* bytes) {
    bytes->clear();
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[copy_buffer_size]);
    if (!buffer) return expand_result::no_memory;
    expand_result result = copy_expanded(source, buffer.get(), [&](const char* piece, std::uint32_t n) {
        try {
            bytes->insert(bytes->end(), piece, piece + n);
        } catch (const std::bad_alloc&) {
            return expand_result::no_memory;
        }
        return expand_result::ok;
    });
    if (result == expand_result::ok)
        platform::delete_file(source);
    else
        *bytes = {};
    return result;
}

}  // namespace patch
