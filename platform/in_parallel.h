// Runs independent pieces of work on a few threads at once.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace platform {

// Calls work(i) for every i below count, on at most `threads` threads (the
// caller's own among them); returns when all are done.
template <class Work>
void in_parallel(std::size_t count, std::size_t threads, const Work& work) {
    std::atomic<std::size_t> next{0};
    auto take = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
    };
    std::vector<std::thread> helpers;
    for (std::size_t n = std::min(count, threads); n > 1; --n) helpers.emplace_back(take);
    take();
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace platform
