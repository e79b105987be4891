// Helpers the fuzz targets share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "formats/little_endian.h"
#include "formats/szdd.h"
#include "platform/files.h"
#include "platform/host/host_path.h"
#include "platform/ui.h"

namespace fuzz {

// Stops the run with a message when a property the target checks fails;
// libFuzzer keeps the input that did it.
inline void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// An input read as two parts: its first two bytes give the length of the
// first part (cut to what there is), the rest is the second.
struct two_parts {
    std::span<const std::uint8_t> first, second;
};
inline two_parts split_input(const std::uint8_t* data, std::size_t size) {
    std::size_t first_length = formats::load_u16(data);
    if (first_length > size - 2) first_length = size - 2;
    return {{data + 2, first_length}, {data + 2 + first_length, size - 2 - first_length}};
}

// A flush for patch output that collects the bytes in a vector.
inline bool append_to_vector(void* context, const std::uint8_t* bytes, std::size_t n) {
    auto* v = static_cast<std::vector<std::uint8_t>*>(context);
    v->insert(v->end(), bytes, bytes + n);
    return true;
}

// Sizes from 1 to `largest` taken in turn from a few bytes of the input,
// over and over; always 1 when there are none.
struct size_source {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    std::size_t next(std::size_t largest) {
        if (bytes.empty()) return 1;
        return 1 + bytes[at++ % bytes.size()] % largest;
    }
};

// The items of an SZDD file (what follows its header) decoded in one call,
// into an output that holds all they can make: an item of two input bytes
// makes at most 18, so no input byte makes more than 9.
inline std::vector<std::uint8_t> szdd_decode_whole(std::span<const std::uint8_t> items,
                                                   std::uint32_t expanded_length) {
    auto decoder = std::make_unique<formats::szdd_decoder>();
    formats::szdd_decoder_start(decoder.get(), expanded_length);
    std::size_t bound = items.size() * 9 + 18;
    std::vector<std::uint8_t> out(std::min<std::size_t>(expanded_length, bound));
    std::size_t consumed = 0;
    std::size_t produced = formats::szdd_decode(decoder.get(), items, &consumed, out);
    require(consumed <= items.size(), "the decoder used more input than it was given");
    require(produced <= out.size(), "the decoder produced more than its output holds");
    require(decoder->remaining == expanded_length - produced, "the decoder's remaining count is off");
    out.resize(produced);
    return out;
}

// The same items decoded as a reader feeds them: the input arriving in
// chunks of the sizes `sizes` gives, an item cut by a chunk's end offered
// again with the next chunk, the output taken in pieces of 1 to 64 bytes.
inline std::vector<std::uint8_t> szdd_decode_chunked(std::span<const std::uint8_t> items,
                                                     std::uint32_t expanded_length, size_source sizes) {
    auto decoder = std::make_unique<formats::szdd_decoder>();
    formats::szdd_decoder_start(decoder.get(), expanded_length);
    std::vector<std::uint8_t> out;
    std::uint8_t piece[64];
    std::size_t at = 0, end = 0;
    auto more_input = [&] { end = std::min(items.size(), end + sizes.next(40)); };
    while (decoder->remaining > 0) {
        // A match cut short by the last call's full output needs no input.
        if (at == end) more_input();
        std::size_t capacity = sizes.next(sizeof piece);
        std::size_t consumed = 0;
        std::uint32_t remaining = decoder->remaining;
        std::size_t produced =
            formats::szdd_decode(decoder.get(), items.subspan(at, end - at), &consumed, {piece, capacity});
        require(consumed <= end - at, "the decoder used more input than it was given");
        require(produced <= capacity && produced <= remaining, "the decoder produced more than it may");
        require(decoder->remaining == remaining - produced, "the decoder's remaining count is off");
        out.insert(out.end(), piece, piece + produced);
        at += consumed;
        if (produced == 0 && consumed == 0) {
            if (end == items.size()) break;
            more_input();
        }
    }
    return out;
}

// Message boxes are counted, not shown: the engine and the splitter must
// show none.
inline int boxes_shown = 0;

inline platform::box_answer count_box(const char*, const char*, platform::box_buttons) {
    ++boxes_shown;
    return platform::box_answer::ok;
}

// Deletes the files of a folder (a path ending with a backslash).
inline void empty_folder(const std::string& folder) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find == platform::invalid_find) return;
    do {
        if (!entry.is_directory) platform::delete_file((folder + entry.name).c_str());
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
}

// A folder of its own under the temporary folder, made once per process
// and removed at its end; the temporary folder then points into it, so
// that logs the code under test writes there are emptied with it. Message
// boxes go to count_box.
struct scratch_folder {
    std::string folder;  // ends with a backslash
    scratch_folder() {
        std::random_device random;
        folder = platform::temp_path() + "plupdate-fuzz-" + std::to_string(random()) + "\\";
        std::string bare = folder.substr(0, folder.size() - 1);
        require(platform::create_directory(bare.c_str()) == platform::create_directory_result::created,
                "cannot make the scratch folder");
        setenv("TMPDIR", platform::host::to_host(bare.c_str()).c_str(), 1);
        require(platform::temp_path() == folder, "the temporary folder did not move into the scratch folder");
        platform::set_message_box_handler(count_box);
    }
    ~scratch_folder() {
        empty_folder(folder);
        platform::remove_directory(folder.substr(0, folder.size() - 1).c_str());
    }
};

inline bool write_file_bytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
    std::uint32_t done = 0;
    return file.valid() && (bytes.empty() || (platform::write_file(file.get(), bytes.data(),
                                                                   static_cast<std::uint32_t>(bytes.size()), &done) &&
                                              done == bytes.size()));
}

// Whether the file holds exactly the n bytes at `bytes`.
inline bool file_holds(const std::string& path, const std::uint8_t* bytes, std::uint32_t n) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!file.valid() || platform::get_file_size(file.get()) != n) return false;
    std::vector<std::uint8_t> content(n);
    std::uint32_t done = 0;
    if (n > 0 && (!platform::read_file(file.get(), content.data(), n, &done) || done != n)) return false;
    return std::equal(content.begin(), content.end(), bytes);
}

}  // namespace fuzz
