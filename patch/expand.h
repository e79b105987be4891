// Expansion of an SZDD-compressed file in the work folder.
#pragma once

namespace patch {

enum expand_result : int {
    expand_ok = 0,                       // destination written, source deleted
    expand_cannot_open_source = 2,       // an empty destination stays
    expand_bad_data = 3,                 // not SZDD mode 'A', or the data ends
                                         // before the expanded length
    expand_write_failed = 4,             // a write to the destination failed
    expand_no_memory = 5,                // the copy buffer cannot be allocated
    expand_cannot_open_destination = -1, // the source is not opened
};

// Expands source into destination (created, or truncated when it exists)
// through the LZ expansion library, 32000 bytes at a time. Only result 0
// deletes the source; results 3 and 4 also remove the incomplete
// destination, so no truncated file is ever left in its place.
int expand(const char* source, const char* destination);

}  // namespace patch
