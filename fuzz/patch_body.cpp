// The patch body interpreter on any old data and any body. It is run
// twice, with output buffers of 1 and of 61 bytes whose flush keeps only a
// hash and a count: both runs must end alike and hand over the same bytes,
// and the bytes handed over must be readable.
//
// Input: two bytes (little-endian) giving the old data's length, the old
// data (cut short by the end of the input), then the body.
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "patch/patch_body.h"

namespace {

struct digest {
    std::uint64_t hash = 14695981039346656037ull;
    std::uint64_t count = 0;
};

bool keep_digest(void* context, const std::uint8_t* bytes, std::size_t n) {
    auto* d = static_cast<digest*>(context);
    for (std::size_t i = 0; i < n; ++i) d->hash = (d->hash ^ bytes[i]) * 1099511628211ull;
    d->count += n;
    return true;
}

patch::body_result run(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> body,
                       std::size_t capacity, digest* d) {
    std::uint8_t buffer[61];
    patch::patch_output out{buffer, capacity, 0, keep_digest, d};
    patch::body_result result = patch::run_patch_body(old_data, body, &out);
    fuzz::require(out.used <= capacity, "the output buffer overflowed");
    fuzz::require(patch::output_finish(&out), "flushing the rest failed");
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    auto [old_data, body] = fuzz::split_input(data, size);

    digest small, larger;
    patch::body_result a = run(old_data, body, 1, &small);
    patch::body_result b = run(old_data, body, 61, &larger);
    fuzz::require(a == b, "the result depends on the output buffer's size");
    fuzz::require(a != patch::body_result::write_failed, "a write failed though every flush succeeded");
    fuzz::require(small.count == larger.count && small.hash == larger.hash,
                  "the bytes handed over depend on the output buffer's size");
    return 0;
}
