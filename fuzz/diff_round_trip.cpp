// The patch maker and the interpreter together: a patch made from any old
// and new data (4 KiB each at most) turns the old data into the new, and
// ends with the new data's byte sum.
//
// Input: two bytes (little-endian) giving the old data's length, the old
// data (cut short by the end of the input), then the new data.
#include <cstdint>
#include <span>
#include <vector>

#include "builder/diff.h"
#include "formats/little_endian.h"
#include "fuzz_support.h"
#include "patch/byte_sum.h"
#include "patch/patch_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    auto [old_data, new_data] = fuzz::split_input(data, size);
    if (old_data.size() > 4096 || new_data.size() > 4096) return 0;

    std::vector<std::uint8_t> made = builder::make_patch(old_data, new_data);
    fuzz::require(made.size() >= 4, "the patch has no byte sum");
    std::span<const std::uint8_t> body(made.data(), made.size() - 4);
    std::uint32_t stored = formats::load_u32(made.data() + made.size() - 4);
    fuzz::require(stored == patch::byte_sum(new_data), "the patch's byte sum is not the new data's");

    std::vector<std::uint8_t> rebuilt;
    std::uint8_t buffer[256];
    patch::patch_output out{buffer, sizeof buffer, 0, fuzz::append_to_vector, &rebuilt};
    fuzz::require(patch::run_patch_body(old_data, body, &out) == patch::body_result::ok,
                  "the interpreter refused a made patch");
    fuzz::require(patch::output_finish(&out), "flushing the rest failed");
    fuzz::require(rebuilt == std::vector<std::uint8_t>(new_data.begin(), new_data.end()),
                  "the made patch does not rebuild the new data");
    return 0;
}
