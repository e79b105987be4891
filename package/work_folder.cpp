#include "package/work_folder.h"

#include <cstdio>
#include <cstring>

#include "package/names.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "run/run_state.h"
#include "ui/progress.h"
#include "ui/strings.h"

namespace package {

std::string unpacked_work_folder;
platform::resource_handle payload_resource = nullptr;

namespace {

constexpr std::size_t work_path_capacity = 2000;
constexpr std::size_t cleanup_capacity = 3000;
constexpr const char* split_caption = "Pelora Patch";

void tell(const char* text) { platform::message_box(text, split_caption, platform::box_buttons::ok); }

std::uint32_t u32_at(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::int16_t unpack_package(platform::module_handle module) {
    std::string temp = platform::temp_path();
    unpacked_work_folder = temp + "PLUpdate\\";
    // Every file name appended later must still fit the 2000-character paths.
    if (temp.empty() || unpacked_work_folder.size() + 32 >= work_path_capacity) {
        unpacked_work_folder.clear();
        return 1;
    }
    platform::create_directory(unpacked_work_folder.substr(0, unpacked_work_folder.size() - 1).c_str());

    std::int16_t r = unpack_resource(module, platform::find_data_resource(module, status_resource),
                                     unpacked_work_folder + status_file_name);
    if (r != 0) return r;
    r = unpack_resource(module, platform::find_data_resource(module, manifest_resource),
                        unpacked_work_folder + manifest_file_name);
    payload_resource = platform::find_data_resource(module, payload_resource_id);
    return r;
}

std::int16_t unpack_resource(platform::module_handle module, platform::resource_handle resource,
                             const std::string& destination) {
    if (!resource) return 1;
    platform::loaded_resource loaded = platform::load_resource(module, resource);
    if (!loaded) return 1;
    std::uint32_t size = platform::sizeof_resource(module, resource);
    platform::unique_file file(platform::create_file(destination.c_str(), platform::access::write,
                                                     platform::disposition::create_always));
    if (!file.valid()) {
        platform::free_resource(loaded);
        return 1;
    }
    const void* bytes = platform::lock_resource(loaded);
    std::uint32_t written = 0;
    bool ok = bytes != nullptr || size == 0;
    if (ok && size > 0) ok = platform::write_file(file.get(), bytes, size, &written) && written == size;
    file.reset();
    platform::free_resource(loaded);
    return ok ? 0 : 1;
}

std::int32_t write_payload_records(const std::uint8_t* base, std::uint32_t size, const std::string& work_folder) {
    std::int32_t result = 1;
    std::uint32_t position = 0;
    int k = 2;
    while (position < size) {
        // A length field or a content cut short by the end of the payload.
        if (size - position < 4 || size - position - 4 < u32_at(base + position)) {
            tell("Error reading main File");
            result = 0;
            break;
        }
        std::uint32_t length = u32_at(base + position);
        position += 4;
        char name[work_path_capacity];
        int n = std::snprintf(name, sizeof name, "%stemp%d.cab", work_folder.c_str(), k);
        platform::unique_file file;
        if (n > 0 && static_cast<std::size_t>(n) < sizeof name)
            file.reset(platform::create_file(name, platform::access::write, platform::disposition::create_always));
        if (!file.valid()) {
            result = 0;
            tell("Error creating temp File");
            break;
        }
        std::uint32_t written = 0;
        if (length > 0) platform::write_file(file.get(), base + position, length, &written);
        if (written != length) {
            result = 0;
            tell("Error writting temp File");
            break;
        }
        position += length;
        file.reset();
        ++k;
        ++ui::current_entry;
        ui::update_progress_bar();
    }
    return result;
}

std::int32_t split_payload(const std::string& work_folder) {
    ui::current_entry = 0;
    ui::total_count = 252;
    std::int32_t result = 0;
    if (!payload_resource) {
        tell("Error Opening main File");
    } else if (platform::loaded_resource loaded = platform::load_resource(ui::module_instance, payload_resource);
               !loaded) {
        tell("Error main Allocation");
    } else {
        std::uint32_t size = platform::sizeof_resource(ui::module_instance, payload_resource);
        const auto* base = static_cast<const std::uint8_t*>(platform::lock_resource(loaded));
        if (!base && size > 0)
            tell("Error reading main File");
        else
            result = write_payload_records(base, size, work_folder);
        platform::free_resource(loaded);
    }
    ui::current_entry = 0;
    return result;
}

void clean_work_folder() {
    const std::string& folder = run::work_folder_path;
    if (folder.size() + 4 >= cleanup_capacity) return;
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find == platform::invalid_find) return;
    do {
        if (entry.is_directory || names_equal(entry.name, status_file_name)) continue;
        std::string path = folder + entry.name;
        if (path.size() < cleanup_capacity) platform::delete_file(path.c_str());
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
}

}  // namespace package
