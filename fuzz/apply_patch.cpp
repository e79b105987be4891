// The whole patch application, files and all: the old data and the patch
// file are written into a scratch folder and apply_patch makes the new
// file from them. It must succeed exactly when the body runs through and
// the new bytes have the patch's byte sum, and then hold what the body
// makes in memory; a byte sum mismatch is reported as such, and nothing is
// shown or logged (telling the user is the run's part). The old file is
// never touched.
//
// Input: two bytes (little-endian) giving the old data's length, the old
// data (cut short by the end of the input), then the patch file.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/little_endian.h"
#include "fuzz_support.h"
#include "patch/apply_patch.h"
#include "patch/byte_sum.h"
#include "patch/patch_body.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::scratch_folder place;
    if (size < 2) return 0;
    auto [old_data, patch_file] = fuzz::split_input(data, size);

    // What the patch should give, worked out in memory.
    bool should_succeed = false, should_mismatch = false;
    std::vector<std::uint8_t> expected;
    if (patch_file.size() >= 4) {
        std::uint8_t buffer[512];
        patch::patch_output out{buffer, sizeof buffer, 0, fuzz::append_to_vector, &expected};
        bool ran = patch::run_patch_body(old_data, patch_file.first(patch_file.size() - 4), &out) ==
                   patch::body_result::ok;
        patch::output_finish(&out);
        std::uint32_t stored = formats::load_u32(patch_file.data() + patch_file.size() - 4);
        should_succeed = ran && patch::byte_sum(expected) == stored;
        should_mismatch = ran && !should_succeed;
    }

    patch::file_record patch_record{place.folder + "patch"}, old_record{place.folder + "old"},
        new_record{place.folder + "new"};
    fuzz::require(fuzz::write_file_bytes(patch_record.path, patch_file) &&
                      fuzz::write_file_bytes(old_record.path, old_data),
                  "cannot write the input files");
    fuzz::boxes_shown = 0;
    patch::patch_result result = patch::apply_patch(&patch_record, &old_record, &new_record);

    patch::patch_result expected_result = should_succeed    ? patch::patch_result::verified
                                          : should_mismatch ? patch::patch_result::checksum_mismatch
                                                            : patch::patch_result::failed;
    fuzz::require(result == expected_result, "the result is not what the patch calls for");
    fuzz::require(fuzz::boxes_shown == 0, "the engine showed a message box");
    if (should_succeed)
        fuzz::require(fuzz::file_holds(new_record.path, expected.data(), static_cast<std::uint32_t>(expected.size())),
                      "the new file is not what the patch makes");
    fuzz::require(!platform::file_exists((place.folder + "RegLog.txt").c_str()), "the engine wrote a log");
    fuzz::require(fuzz::file_holds(old_record.path, old_data.data(), static_cast<std::uint32_t>(old_data.size())),
                  "the old file changed");
    fuzz::empty_folder(place.folder);
    return 0;
}
