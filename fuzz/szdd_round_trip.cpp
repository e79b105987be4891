// The SZDD compressor and the decoder together: any data up to 64 KiB,
// compressed and decoded again (at once and in chunks), comes back whole.
#include <cstdint>
#include <span>
#include <vector>

#include "builder/szdd_encoder.h"
#include "formats/szdd.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    std::span<const std::uint8_t> original(data, size);
    std::vector<std::uint8_t> file = builder::szdd_compress(original);

    formats::szdd_header header{};
    fuzz::require(formats::parse_szdd_header(file, &header), "the compressor's header does not parse");
    fuzz::require(header.mode == 'A' && header.expanded_length == size, "the compressor's header is wrong");
    auto items = std::span<const std::uint8_t>(file).subspan(formats::szdd_header_size);
    // A literal costs 9 bits: no file grows by more than that, header aside.
    fuzz::require(items.size() <= (size * 9 + 7) / 8, "the compressed items are longer than literals would be");

    std::vector<std::uint8_t> expected(original.begin(), original.end());
    fuzz::require(fuzz::szdd_decode_whole(items, header.expanded_length) == expected,
                  "decoding the compressed file did not give the data back");
    fuzz::require(fuzz::szdd_decode_chunked(items, header.expanded_length, {original.first(size < 4 ? size : 4)}) ==
                      expected,
                  "decoding the compressed file in chunks did not give the data back");
    return 0;
}
