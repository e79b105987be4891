// Room on the installation's disk for what the update writes before it
// removes anything: the staged new files and, with a backup, the copies.
#pragma once

#include <cstdint>

#include "run/context.h"

namespace run {

// The bytes the run needs on the installation's disk: for each patched or
// replaced entry its new size (File<N>Size, else the compressed file's
// expanded length for a replacement and the target's present size for a
// patch), plus, with a backup, each target's present size; then a margin
// of a tenth and 64 KiB.
std::uint64_t room_needed(const run_context& context);

// True when the disk has that room (or cannot be asked). Otherwise shows
// a message naming the drive and the room needed, and returns false: the
// run then changes nothing.
bool enough_room(const run_context& context);

}  // namespace run
