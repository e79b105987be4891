// The payload splitter on any bytes, writing into a scratch folder made
// once under the temporary folder and emptied after every input. Each
// record must reach its own file whole; a payload that ends inside a record
// must be reported cut short after writing the records before it, and
// nothing is shown (telling the user is the run's part).
#include <cstdint>
#include <span>
#include <string>

#include "formats/payload.h"
#include "fuzz_support.h"
#include "package/work_folder.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::scratch_folder place;
    if (size > 0xFFFFFFFFu) return 0;
    fuzz::boxes_shown = 0;
    package::split_result result =
        package::write_payload_records(data, static_cast<std::uint32_t>(size), place.folder, {});

    // The records as they lie in the payload, each checked against its file.
    std::span<const std::uint8_t> payload(data, size), content;
    std::size_t at = 0;
    int k = 2;
    formats::record_read read;
    while ((read = formats::next_payload_record(payload, &at, &content)) == formats::record_read::record) {
        fuzz::require(fuzz::file_holds(place.folder + "temp" + std::to_string(k) + ".cab", content.data(),
                                       static_cast<std::uint32_t>(content.size())),
                      "a record's file does not hold the record");
        ++k;
    }
    bool whole = read == formats::record_read::end;
    if (!whole)
        fuzz::require(!platform::file_exists((place.folder + "temp" + std::to_string(k) + ".cab").c_str()),
                      "a record cut short was written");
    fuzz::require(result == (whole ? package::split_result::written : package::split_result::cut_short),
                  "the result does not say whether the payload was whole");
    fuzz::require(fuzz::boxes_shown == 0, "the splitter showed a message box");
    fuzz::empty_folder(place.folder);
    return 0;
}
