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
struct hash_closer {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~hash_closer() {
        if (handle) BCryptDestroyHash(handle);
    }
};
struct file_closer {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~file_closer() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace

std::optional<file_digest> digest_file(const char* path) {
    file_closer file{CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return std::nullopt;
    algorithm_closer algorithm;
    hash_closer hash;
    if (BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0) != 0)
        return std::nullopt;
    file_digest digest;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return std::nullopt;
        if (got == 0) break;
        digest.size += got;
        if (BCryptHashData(hash.handle, buffer.data(), got, 0) != 0) return std::nullopt;
    }
    unsigned char value[32];
    if (BCryptFinishHash(hash.handle, value, sizeof value, 0) != 0) return std::nullopt;
    static const char hex[] = "0123456789abcdef";
    for (unsigned char byte : value) {
        digest.sha256 += hex[byte >> 4];
        digest.sha256 += hex[byte & 15];
    }
    return digest;
}

std::string sha256_hex(const void* data, std::size_t n) {
    algorithm_closer algorithm;
    hash_closer hash;
    unsigned char value[32];
    if (BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0) != 0 ||
        BCryptHashData(hash.handle, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(n), 0) != 0 ||
        BCryptFinishHash(hash.handle, value, sizeof value, 0) != 0)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : value) {
        text += hex[byte >> 4];
        text += hex[byte & 15];
    }
    return text;
}

}  // namespace platform
