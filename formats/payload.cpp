#include "formats/payload.h"

#include <stdexcept>

#include "formats/little_endian.h"

namespace formats {

record_read next_payload_record(std::span<const std::uint8_t> payload, std::size_t* position,
                                std::span<const std::uint8_t>* content) {
    const std::size_t size = payload.size();
    const std::size_t at = *position;
    if (at >= size) return record_read::end;
    // Compared as what remains, so that no length can make a sum wrap.
    if (size - at < 4 || size - at - 4 < load_u32(payload.data() + at)) return record_read::cut_short;
    const std::uint32_t length = load_u32(payload.data() + at);
    *content = payload.subspan(at + 4, length);
    *position = at + 4 + length;
    return record_read::record;
}

void append_payload_record(std::vector<std::uint8_t>* payload, std::span<const std::uint8_t> content) {
    if (payload->size() + 4 + content.size() > 0xFFFFFFFFu)
        throw std::length_error("the payload would reach 4 GiB, more than a resource can hold");
    append_u32(payload, static_cast<std::uint32_t>(content.size()));
    payload->insert(payload->end(), content.begin(), content.end());
}

}  // namespace formats
