// The payload container: records one after another, each a u32
// little-endian length followed by that many bytes of content. A record
// whose length field or content runs past the end of the payload is cut
// short, and so is everything from it on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace formats {

enum class record_read {
    record,     // *content holds the record; *position is past it
    end,        // *position is at the end of the payload
    cut_short,  // the payload ends inside the record at *position
};

// Reads the record at *position. Only a whole record moves *position;
// *content is set only then.
record_read next_payload_record(std::span<const std::uint8_t> payload, std::size_t* position,
                                std::span<const std::uint8_t>* content);

// Appends a record holding `content`. Throws std::length_error when the
// payload would reach 4 GiB, which its lengths and a resource cannot hold.
void append_payload_record(std::vector<std::uint8_t>* payload, std::span<const std::uint8_t> content);

}  // namespace formats
