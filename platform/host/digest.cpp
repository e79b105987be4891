#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/digest.h"
#include "platform/host/host_path.h"

namespace platform {

namespace {

std::string hex_text(const unsigned char* value, unsigned int length) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[value[i] >> 4];
        text += hex[value[i] & 15];
    }
    return text;
}

}  // namespace

struct digest_stream {
    EVP_MD_CTX* context = nullptr;
    std::uint64_t size = 0;
    bool ok = true;
};

void digest_stream_deleter::operator()(digest_stream* stream) const {
    EVP_MD_CTX_free(stream->context);
    delete stream;
}

unique_digest_stream begin_digest() {
    unique_digest_stream stream(new digest_stream);
    stream->context = EVP_MD_CTX_new();
    if (!stream->context || EVP_DigestInit_ex(stream->context, EVP_sha256(), nullptr) != 1) return nullptr;
    return stream;
}

void add_to_digest(digest_stream* stream, const void* data, std::size_t n) {
    if (!stream->ok || n == 0) return;
    stream->size += n;
    stream->ok = EVP_DigestUpdate(stream->context, data, n) == 1;
}

std::optional<file_digest> finish_digest(digest_stream* stream) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    bool ok = stream->ok && EVP_DigestFinal_ex(stream->context, value, &length) == 1;
    stream->ok = false;
    if (!ok) return std::nullopt;
    return file_digest{stream->size, hex_text(value, length)};
}

std::optional<file_digest> digest_file(const char* path) {
    int fd = ::open(host::to_host(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    unique_digest_stream stream = begin_digest();
    bool ok = stream != nullptr;
    std::vector<unsigned char> buffer(1 << 16);
    while (ok) {
        ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        add_to_digest(stream.get(), buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ok ? finish_digest(stream.get()) : std::nullopt;
}

std::string sha256_hex(const void* data, std::size_t n) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, n, value, &length, EVP_sha256(), nullptr) != 1) return {};
    return hex_text(value, length);
}

}  // namespace platform
