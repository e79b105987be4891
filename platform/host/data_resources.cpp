#include <map>
#include <mutex>

#include "platform/host/embedded.h"
#include "platform/resources.h"

namespace platform {

namespace {

struct data_resource {
    const void* data;
    std::size_t size;
};

std::mutex& resources_mutex() {
    static std::mutex m;
    return m;
}

// Created on first use: registrations run from static constructors.
std::map<unsigned, data_resource>& resources() {
    static std::map<unsigned, data_resource> table;
    return table;
}

}  // namespace

namespace host {

void register_data_resource(unsigned id, const void* data, std::size_t size) {
    std::lock_guard lock(resources_mutex());
    if (data)
        resources()[id] = {data, size};
    else
        resources().erase(id);
}

}  // namespace host

resource_handle find_data_resource(module_handle, unsigned id) {
    std::lock_guard lock(resources_mutex());
    auto it = resources().find(id);
    return it == resources().end() ? nullptr : const_cast<data_resource*>(&it->second);
}

loaded_resource load_resource(module_handle, resource_handle resource) { return resource; }

std::uint32_t sizeof_resource(module_handle, resource_handle resource) {
    return resource ? static_cast<std::uint32_t>(static_cast<data_resource*>(resource)->size) : 0;
}

const void* lock_resource(loaded_resource loaded) {
    return loaded ? static_cast<data_resource*>(loaded)->data : nullptr;
}

void free_resource(loaded_resource) {}

}  // namespace platform
