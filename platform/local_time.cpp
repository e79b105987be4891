#include <atomic>

#include "platform/files.h"
#include "platform/native.h"

namespace platform {

namespace {
std::atomic<local_time_source> installed_source{nullptr};
}

local_time get_local_time() {
    if (local_time_source source = installed_source.load()) return source();
    return native::system_local_time();
}

local_time_source set_local_time_source(local_time_source source) { return installed_source.exchange(source); }

}  // namespace platform
