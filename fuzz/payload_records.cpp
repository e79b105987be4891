// The payload splitter on any bytes, writing into a scratch folder made
// once under the temporary folder and emptied after every input. Each
// record must reach its own file whole; a payload that ends inside a record
// must fail, with a message, after writing the records before it.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "package/work_folder.h"
#include "platform/files.h"

namespace {

std::uint32_t u32_at(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::scratch_folder place;
    if (size > 0xFFFFFFFFu) return 0;
    fuzz::boxes_shown = 0;
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
        fuzz::require(fuzz::file_holds(place.folder + "temp" + std::to_string(k) + ".cab", data + at + 4, length),
                      "a record's file does not hold the record");
        at += 4 + std::size_t{length};
        ++k;
    }
    fuzz::require(result == (whole ? 1 : 0), "the result does not say whether the payload was whole");
    fuzz::require(fuzz::boxes_shown == (whole ? 0 : 1), "a failure was not told, or a success was");
    fuzz::empty_folder(place.folder);
    return 0;
}
