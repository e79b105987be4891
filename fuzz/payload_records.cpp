// The payload splitter on any bytes, writing into a scratch folder made
// once under the temporary folder and emptied after every input. Each
// record must reach its own file whole; a payload that ends inside a record
// must fail, with a message, after writing the records before it.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "package/work_folder.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {

int boxes_shown = 0;

platform::box_answer count_box(const char*, const char*, platform::box_buttons) {
    ++boxes_shown;
    return platform::box_answer::ok;
}

void empty_folder(const std::string& folder) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find == platform::invalid_find) return;
    do {
        if (!entry.is_directory) platform::delete_file((folder + entry.name).c_str());
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
}

struct scratch {
    std::string folder;
    scratch() {
        std::random_device random;
        folder = platform::temp_path() + "plupdate-fuzz-" + std::to_string(random()) + "\\";
        fuzz::require(platform::create_directory(folder.substr(0, folder.size() - 1).c_str()) ==
                          platform::create_directory_result::created,
                      "cannot make the scratch folder");
        platform::set_message_box_handler(count_box);
    }
    ~scratch() {
        empty_folder(folder);
        platform::remove_directory(folder.substr(0, folder.size() - 1).c_str());
    }
};

bool file_holds(const std::string& path, const std::uint8_t* bytes, std::uint32_t n) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!file.valid() || platform::get_file_size(file.get()) != n) return false;
    std::vector<std::uint8_t> content(n);
    std::uint32_t done = 0;
    if (n > 0 && (!platform::read_file(file.get(), content.data(), n, &done) || done != n)) return false;
    return std::equal(content.begin(), content.end(), bytes);
}

std::uint32_t u32_at(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static scratch place;
    if (size > 0xFFFFFFFFu) return 0;
    boxes_shown = 0;
    std::int32_t result = package::write_payload_records(data, static_cast<std::uint32_t>(size), place.folder);

    // The records as they lie in the payload, each checked against its file.
    std::size_t at = 0;
    int k = 2;
    bool whole = true;
    while (at < size) {
        if (size - at < 4 || size - at - 4 < u32_at(data + at)) {
            whole = false;
            fuzz::require(!platform::file_exists((place.folder + "temp" + std::to_string(k) + ".cab").c_str()),
                          "a record cut short was written");
            break;
        }
        std::uint32_t length = u32_at(data + at);
        fuzz::require(file_holds(place.folder + "temp" + std::to_string(k) + ".cab", data + at + 4, length),
                      "a record's file does not hold the record");
        at += 4 + std::size_t{length};
        ++k;
    }
    fuzz::require(result == (whole ? 1 : 0), "the result does not say whether the payload was whole");
    fuzz::require(boxes_shown == (whole ? 0 : 1), "a failure was not told, or a success was");
    empty_folder(place.folder);
    return 0;
}
