// Expansion of an SZDD-compressed file in the work folder.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/digest.h"
#include "platform/files.h"

namespace patch {

enum class expand_result : int {
    ok = 0,                        // destination written, source deleted
    cannot_open_source = 2,        // an empty destination stays
    bad_data = 3,                  // not SZDD mode 'A', or the data ends
                                   // before the expanded length
    write_failed = 4,              // a write to the destination failed
    no_memory = 5,                 // the copy buffer cannot be allocated
    cannot_open_destination = -1,  // the source is not opened
};

// Expands source into destination (created, or truncated when it exists)
// through the LZ expansion library, read 32000 bytes at a time and written
// 512,000 at a time. Only ok deletes the source; bad_data and write_failed
// also remove the incomplete destination, so no truncated file is ever
// left in its place. When `digest` is given, every byte written to the
// destination is added to it.
expand_result expand(const char* source, const char* destination, platform::digest_stream* digest = nullptr);

// The same into a new, empty file the caller has opened for writing: the
// file is closed on return, and a destination that failed is the caller's
// to remove. Never cannot_open_destination.
expand_result expand_into(const char* source, platform::unique_file* destination,
                          platform::digest_stream* digest = nullptr);

// The same into memory: *bytes receives the whole expanded content, or
// nothing when the result is not ok. Only ok deletes the source. Never
// cannot_open_destination or write_failed; no_memory also when the content
// does not fit in memory.
expand_result expand_to_memory(const char* source, std::vector<std::uint8_t>* bytes);

}  // namespace patch
