#include "patch/expand.h"

#include <cstdint>
#include <memory>
#include <new>

#include "formats/szdd.h"
#include "platform/files.h"
#include "platform/lz.h"

namespace patch {

namespace {

constexpr int copy_buffer_size = 32000;

// The expanded length from the source's header, when it is SZDD mode 'A'.
// Windows' LZRead does not report data that ends early, so the length is
// what tells a complete expansion from a truncated one.
bool read_expanded_length(const char* source, std::uint32_t* length, bool* opened) {
    platform::unique_file file(
        platform::create_file(source, platform::access::read, platform::disposition::open_existing));
    *opened = file.valid();
    if (!file.valid()) return false;
    std::uint8_t bytes[formats::szdd_header_size];
    std::uint32_t got = 0;
    formats::szdd_header header;
    if (!platform::read_file(file.get(), bytes, sizeof bytes, &got) || got != sizeof bytes ||
        !formats::parse_szdd_header(bytes, &header) || header.mode != 'A')
        return false;
    *length = header.expanded_length;
    return true;
}

// Expands source into the open destination with the copy buffer.
expand_result copy_expanded(const char* source, platform::file_handle out, char* buffer,
                            platform::digest_stream* digest) {
    std::uint32_t expected = 0;
    bool source_opened = false;
    if (!read_expanded_length(source, &expected, &source_opened))
        return source_opened ? expand_result::bad_data : expand_result::cannot_open_source;
    int lz = platform::lz_open_file(source);
    if (lz <= 0) return expand_result::cannot_open_source;
    expand_result result = expand_result::ok;
    std::uint32_t left = expected;
    int n;
    while (left > 0 && (n = platform::lz_read(lz, buffer, copy_buffer_size)) > 0) {
        // Data beyond the expanded length is not part of the file.
        std::uint32_t take = static_cast<std::uint32_t>(n) < left ? static_cast<std::uint32_t>(n) : left;
        std::uint32_t written = 0;
        if (!platform::write_file(out, buffer, take, &written) || written != take) {
            result = expand_result::write_failed;
            break;
        }
        if (digest) platform::add_to_digest(digest, buffer, take);
        left -= take;
    }
    if (result == expand_result::ok && left > 0) result = expand_result::bad_data;
    platform::lz_close(lz);
    return result;
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

}  // namespace patch
