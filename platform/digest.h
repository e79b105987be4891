// The SHA-256 digest of a file's content, by the platform's own
// cryptography (BCrypt on Windows, OpenSSL's libcrypto on the host).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct file_digest {
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
};

// A digest taken piece by piece as data goes by, so that a file being
// written need not be read again to be checked.
struct digest_stream;
struct digest_stream_deleter {
    void operator()(digest_stream* stream) const;
};
using unique_digest_stream = std::unique_ptr<digest_stream, digest_stream_deleter>;

// A new stream; null when the platform's cryptography fails.
unique_digest_stream begin_digest();

// Adds n bytes; a failure is remembered and reported by finish_digest.
void add_to_digest(digest_stream* stream, const void* data, std::size_t n);

// The size and digest of everything added; nothing when any step failed.
// The stream is used up.
std::optional<file_digest> finish_digest(digest_stream* stream);

// The size and digest of the file at `path`; nothing when it cannot be
// read whole.
std::optional<file_digest> digest_file(const char* path);

// The SHA-256 digest of n bytes in memory, as 64 lower-case hex digits;
// "" when the platform's cryptography fails.
std::string sha256_hex(const void* data, std::size_t n);

}  // namespace platform
