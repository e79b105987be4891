// The SHA-256 digest of a file's content, by the platform's own
// cryptography (BCrypt on Windows, OpenSSL's libcrypto on the host).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct file_digest {
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
};

// The size and digest of the file at `path`; nothing when it cannot be
// read whole.
std::optional<file_digest> digest_file(const char* path);

// The SHA-256 digest of n bytes in memory, as 64 lower-case hex digits;
// "" when the platform's cryptography fails.
std::string sha256_hex(const void* data, std::size_t n);

}  // namespace platform
