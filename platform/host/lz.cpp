// The host's LZ expansion library: SZDD files decoded in a stream, 64 KiB
// of compressed input at a time. A file without the SZDD magic is read as
// it is, as the Windows library does.
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "formats/szdd.h"
#include "platform/lz.h"

namespace platform {

namespace {

constexpr int lz_error_bad_handle = -1;
constexpr int lz_error_read = -3;
constexpr int lz_error_unknown_method = -8;

struct lz_stream {
    int fd = -1;
    bool plain = false;
    bool end_of_input = false;
    formats::szdd_decoder decoder;
    std::uint8_t input[1 << 16];
    std::size_t input_pos = 0;
    std::size_t input_end = 0;
};

std::mutex streams_mutex;
std::map<int, std::unique_ptr<lz_stream>> streams;
int next_handle = 1;

lz_stream* find_stream(int handle) {
    std::lock_guard lock(streams_mutex);
    auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second.get();
}

bool refill(lz_stream* s) {
    std::memmove(s->input, s->input + s->input_pos, s->input_end - s->input_pos);
    s->input_end -= s->input_pos;
    s->input_pos = 0;
    while (s->input_end < sizeof s->input) {
        ssize_t got = ::read(s->fd, s->input + s->input_end, sizeof s->input - s->input_end);
        if (got <= 0) {
            s->end_of_input = true;
            return got == 0;
        }
        s->input_end += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

int lz_init(file_handle file) {
    auto s = std::make_unique<lz_stream>();
    s->fd = static_cast<int>(file);
    refill(s.get());
    formats::szdd_header header;
    if (formats::parse_szdd_header({s->input, s->input_end}, &header)) {
        if (header.mode != 'A') return lz_error_unknown_method;
        s->input_pos = formats::szdd_header_size;
        formats::szdd_decoder_start(&s->decoder, header.expanded_length);
    } else {
        s->plain = true;
    }
    std::lock_guard lock(streams_mutex);
    int handle = next_handle++;
    streams.emplace(handle, std::move(s));
    return handle;
}

int lz_read(int handle, void* buffer, int n) {
    lz_stream* s = find_stream(handle);
    if (!s || n < 0) return lz_error_bad_handle;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t produced = 0;
    while (produced < static_cast<std::size_t>(n)) {
        if (s->input_pos == s->input_end && !s->end_of_input && !refill(s)) return lz_error_read;
        std::size_t available = s->input_end - s->input_pos;
        std::size_t made = 0;
        if (s->plain) {
            made = std::min(available, static_cast<std::size_t>(n) - produced);
            std::memcpy(out + produced, s->input + s->input_pos, made);
            s->input_pos += made;
            if (made == 0) break;
        } else {
            if (s->decoder.remaining == 0) break;
            std::size_t used = 0;
            made = formats::szdd_decode(&s->decoder, {s->input + s->input_pos, available}, &used,
                                        {out + produced, static_cast<std::size_t>(n) - produced});
            s->input_pos += used;
            if (made == 0 && used == 0) {
                if (s->end_of_input) {
                    // The data ends before the expanded length: deliver what
                    // there is, then report the fault.
                    if (produced == 0) return lz_error_read;
                    break;
                }
                if (!refill(s)) return lz_error_read;
            }
        }
        produced += made;
    }
    return static_cast<int>(produced);
}

void lz_close(int handle) {
    std::unique_ptr<lz_stream> s;
    {
        std::lock_guard lock(streams_mutex);
        auto it = streams.find(handle);
        if (it == streams.end()) return;
        s = std::move(it->second);
        streams.erase(it);
    }
    ::close(s->fd);
}

}  // namespace platform
