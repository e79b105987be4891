#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/digest.h"
#include "platform/host/host_path.h"

namespace platform {

std::optional<file_digest> digest_file(const char* path) {
    int fd = ::open(host::to_host(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    file_digest digest;
    std::vector<unsigned char> buffer(1 << 16);
    while (ok) {
        ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        digest.size += static_cast<std::uint64_t>(got);
        ok = EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) == 1;
    }
    ::close(fd);
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok || EVP_DigestFinal_ex(context.get(), value, &length) != 1) return std::nullopt;
    static const char hex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
        digest.sha256 += hex[value[i] >> 4];
        digest.sha256 += hex[value[i] & 15];
    }
    return digest;
}

std::string sha256_hex(const void* data, std::size_t n) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, n, value, &length, EVP_sha256(), nullptr) != 1) return {};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[value[i] >> 4];
        text += hex[value[i] & 15];
    }
    return text;
}

}  // namespace platform
