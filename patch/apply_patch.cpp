#include "patch/apply_patch.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "patch/byte_sum.h"
#include "patch/patch_body.h"
#include "platform/ui.h"
#include "ui/strings.h"

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
    return n == 0 || read_record(record, bytes->data(), n) == 0;
}

bool flush_to_record(void* context, const std::uint8_t* bytes, std::size_t n) {
    return write_record(static_cast<file_record*>(context), bytes, static_cast<std::uint32_t>(n)) == 0;
}

// The byte sum of the output as it lies on disk.
bool output_sum(file_record* output, std::uint32_t* sum) {
    if (open_record(output, record_read) != 0) return false;
    std::uint32_t left = record_size(output);
    bool ok = left != 0xFFFFFFFFu;
    std::vector<std::uint8_t> chunk(output_buffer_size);
    *sum = 0;
    while (ok && left > 0) {
        std::uint32_t n = left < chunk.size() ? left : static_cast<std::uint32_t>(chunk.size());
        ok = read_record(output, chunk.data(), n) == 0;
        *sum = byte_sum({chunk.data(), n}, *sum);
        left -= n;
    }
    close_record(output);
    return ok;
}

bool stored_checksum(file_record* patch, std::uint32_t* checksum) {
    if (open_record(patch, record_read) != 0) return false;
    std::uint8_t bytes[4] = {};
    bool ok = platform::set_file_pointer(patch->handle, -4, platform::seek_from::end) &&
              read_record(patch, bytes, 4) == 0;
    close_record(patch);
    *checksum = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return ok;
}

void tell(unsigned text_id) {
    std::string text = ui::load_text(text_id);
    std::string caption = ui::load_text(IDS_UPDATER_CAPTION);
    platform::message_box(text.c_str(), caption.c_str(), platform::box_buttons::ok);
}

}  // namespace

void log_patch_error(const char* output_path) {
    std::string log_path = platform::temp_path() + "RegLog.txt";
    platform::unique_file log(
        platform::create_file(log_path.c_str(), platform::access::write, platform::disposition::open_always));
    if (!log.valid()) return;
    char line[2000];
    int length = std::snprintf(line, sizeof line, "Error Patching File: %s%s", output_path, "\r\n");
    if (length < 0) return;
    std::uint32_t n = length < static_cast<int>(sizeof line) ? static_cast<std::uint32_t>(length)
                                                             : static_cast<std::uint32_t>(sizeof line - 1);
    std::uint32_t written = 0;
    if (platform::set_file_pointer(log.get(), 0, platform::seek_from::end))
        platform::write_file(log.get(), line, n, &written);
}

int apply_patch(file_record* patch, file_record* old_file, file_record* output) {
    std::vector<std::uint8_t> old_data, body;
    bool ok = open_record(old_file, record_read) == 0;
    if (ok) {
        ok = read_whole(old_file, 0xFFFFFFFFu, &old_data, nullptr);
        close_record(old_file);
    }
    if (ok) {
        ok = open_record(patch, record_read) == 0;
        if (ok) {
            // A patch shorter than its checksum is refused.
            std::uint32_t size = record_size(patch);
            ok = size != 0xFFFFFFFFu && size >= 4 && read_whole(patch, size - 4, &body, nullptr);
            close_record(patch);
        }
    }
    bool output_opened = false;
    if (ok) ok = output_opened = open_record(output, record_write) == 0;
    if (ok) {
        std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[output_buffer_size]);
        ok = buffer != nullptr;
        if (ok) {
            patch_output out{buffer.get(), output_buffer_size, 0, flush_to_record, output};
            body_result result = run_patch_body(old_data, body, &out);
            // What was produced before a fault still reaches the file.
            bool flushed = output_finish(&out);
            ok = result == body_result::ok && flushed;
        }
    }
    old_data = {};
    body = {};
    if (output_opened) close_record(output);
    if (!ok) {
        tell(IDS_UNKNOWN_ERROR);
        return -1;
    }

    std::uint32_t sum = 0, checksum = 0;
    if (!output_sum(output, &sum) || !stored_checksum(patch, &checksum)) {
        tell(IDS_UNKNOWN_ERROR);
        return -1;
    }
    if (sum == checksum) return 0;
    tell(IDS_CHECKSUM_ERROR);
    log_patch_error(output->path.c_str());
    return -1;
}

}  // namespace patch
