// The SZDD decoder on any bytes: the header parse, then the items decoded
// in one call and again fed in chunks of sizes the input picks, which must
// give the same bytes.
//
// Input: one byte that says how many of the following bytes (0-7) set the
// chunk sizes, those bytes, then the SZDD file.
#include <cstdint>
#include <span>

#include "formats/szdd.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::size_t schedule = data[0] % 8;
    if (size < 1 + schedule) return 0;
    fuzz::size_source sizes{{data + 1, schedule}};
    std::span<const std::uint8_t> file(data + 1 + schedule, size - 1 - schedule);

    formats::szdd_header header{};
    if (!formats::parse_szdd_header(file, &header)) return 0;
    auto items = file.subspan(formats::szdd_header_size);
    auto whole = fuzz::szdd_decode_whole(items, header.expanded_length);
    auto chunked = fuzz::szdd_decode_chunked(items, header.expanded_length, sizes);
    fuzz::require(whole == chunked, "decoding in chunks gave other bytes than decoding at once");
    return 0;
}
