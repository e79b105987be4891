// How the long builder passes tell another thread how far they are: a
// counter of bytes worked through, shared with a progress display and
// added to, in steps, as a pass moves through its input.
#pragma once

#include <atomic>
#include <cstdint>

namespace builder {

// Adds to `*counter` (when there is one) as a pass reaches position `at`
// of its input: nothing until a step of 1 MiB has gathered, so that the
// shared counter is touched seldom, then all that gathered. finish()
// brings the additions to `total` exactly. Adds only: a counter shared by
// several passes, on several threads, keeps every pass's bytes.
struct work_counter {
    std::atomic<std::uint64_t>* counter;
    std::uint64_t added = 0;

    static constexpr std::uint64_t step = std::uint64_t{1} << 20;

    void reach(std::uint64_t at) {
        if (counter && at >= added + step) {
            counter->fetch_add(at - added, std::memory_order_relaxed);
            added = at;
        }
    }
    void finish(std::uint64_t total) {
        if (counter && total > added) counter->fetch_add(total - added, std::memory_order_relaxed);
        added = total;
    }
};

}  // namespace builder
