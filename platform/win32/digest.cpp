#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "platform/digest.h"

namespace platform {

namespace {

struct algorithm_closer {
    BCRYPT_ALG_HANDLE handle = nullptr;
    ~algorithm_closer() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
};
struct file_closer {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~file_closer() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

std::string hex_text(const unsigned char* value, std::size_t length) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += hex[value[i] >> 4];
        text += hex[value[i] & 15];
    }
    return text;
}

}  // namespace

struct digest_stream {
    algorithm_closer algorithm;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::uint64_t size = 0;
    bool ok = true;
};

void digest_stream_deleter::operator()(digest_stream* stream) const {
    if (stream->hash) BCryptDestroyHash(stream->hash);
    delete stream;
}

unique_digest_stream begin_digest() {
    unique_digest_stream stream(new digest_stream);
    if (BCryptOpenAlgorithmProvider(&stream->algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(stream->algorithm.handle, &stream->hash, nullptr, 0, nullptr, 0, 0) != 0)
        return nullptr;
    return stream;
}

void add_to_digest(digest_stream* stream, const void* data, std::size_t n) {
    // BCryptHashData takes at most a ULONG at a time.
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (stream->ok && n > 0) {
        ULONG piece = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
        stream->ok = BCryptHashData(stream->hash, const_cast<PUCHAR>(bytes), piece, 0) == 0;
        stream->size += piece;
        bytes += piece;
        n -= piece;
    }
}

std::optional<file_digest> finish_digest(digest_stream* stream) {
    unsigned char value[32];
    bool ok = stream->ok && BCryptFinishHash(stream->hash, value, sizeof value, 0) == 0;
    stream->ok = false;
    if (!ok) return std::nullopt;
    return file_digest{stream->size, hex_text(value, sizeof value)};
}

std::optional<file_digest> digest_file(const char* path) {
    file_closer file{CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return std::nullopt;
    unique_digest_stream stream = begin_digest();
    if (!stream) return std::nullopt;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return std::nullopt;
        if (got == 0) break;
        add_to_digest(stream.get(), buffer.data(), got);
    }
    return finish_digest(stream.get());
}

std::string sha256_hex(const void* data, std::size_t n) {
    unique_digest_stream stream = begin_digest();
    if (!stream) return {};
    add_to_digest(stream.get(), data, n);
    std::optional<file_digest> digest = finish_digest(stream.get());
    return digest ? digest->sha256 : std::string();
}

}  // namespace platform
