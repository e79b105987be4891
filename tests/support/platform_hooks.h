// Platform calls that fail on request and a local time that stands still,
// each for the life of an object.
#pragma once

#include "platform/faults.h"
#include "platform/files.h"

namespace testing_support {

// The next `count` calls of `call` after the next `after` ones fail;
// whatever has not failed yet is taken back when the object goes.
class failing_call {
public:
    explicit failing_call(platform::file_call call, int count = 1, int after = 0) : call_(call) {
        platform::fail_next(call, count, after);
    }
    ~failing_call() { platform::clear_failures(); }
    failing_call(const failing_call&) = delete;
    failing_call& operator=(const failing_call&) = delete;
    // How many of the failures have not happened yet.
    int left() const { return platform::failures_left(call_); }

private:
    platform::file_call call_;
};

// platform::get_local_time gives `now` while the object lives.
class pinned_local_time {
public:
    explicit pinned_local_time(const platform::local_time& now) {
        pinned() = now;
        previous_ = platform::set_local_time_source([] { return pinned(); });
    }
    ~pinned_local_time() { platform::set_local_time_source(previous_); }
    pinned_local_time(const pinned_local_time&) = delete;
    pinned_local_time& operator=(const pinned_local_time&) = delete;

private:
    static platform::local_time& pinned() {
        static platform::local_time now{};
        return now;
    }
    platform::local_time_source previous_;
};

}  // namespace testing_support
