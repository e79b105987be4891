#include "package/work_folder.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/payload.h"
#include "package/names.h"
#include "platform/files.h"
#include "platform/in_parallel.h"

namespace package {

namespace {

constexpr std::size_t work_path_capacity = 2000;
constexpr std::size_t cleanup_capacity = 3000;

// Records are written this many at a time, on up to split_threads threads.
constexpr std::size_t split_batch = 128;
constexpr std::size_t split_threads = 4;

// Writes one record to its new file "temp<k>.cab".
split_result write_record(const std::string& work_folder, int k, std::span<const std::uint8_t> content) {
    const auto length = static_cast<std::uint32_t>(content.size());
    char name[work_path_capacity];
    int n = std::snprintf(name, sizeof name, "%stemp%d.cab", work_folder.c_str(), k);
    platform::unique_file file;
    if (n > 0 && static_cast<std::size_t>(n) < sizeof name)
        file.reset(platform::create_file(name, platform::access::write, platform::disposition::create_new));
    if (!file.valid()) return split_result::cannot_create;
    std::uint32_t written = 0;
    if (length > 0) platform::write_file(file.get(), content.data(), length, &written);
    return written == length ? split_result::written : split_result::write_failed;
}

}  // namespace

bool make_work_folder(const std::string& work_folder) {
    std::string folder = work_folder.substr(0, work_folder.size() - 1);
    return platform::remove_tree(folder.c_str()) && platform::create_private_directory(folder.c_str());
}

std::optional<unpacked_package> unpack_package(platform::module_handle module, unpack_failure* why) {
    std::string temp = platform::temp_path();
    unpacked_package unpacked{temp + "PLUpdate\\", nullptr};
    const std::string& work = unpacked.work_folder;
    // Every file name appended later must still fit the 2000-character paths.
    if (temp.empty() || work.size() + 32 >= work_path_capacity) return std::nullopt;
    if (!make_work_folder(work)) {
        if (why) *why = unpack_failure::work_folder_not_ours;
        return std::nullopt;
    }
    if (why) *why = unpack_failure::resource_missing;

    if (!unpack_resource(module, platform::find_data_resource(module, status_resource), work + status_file_name))
        return std::nullopt;
    bool manifest_written =
        unpack_resource(module, platform::find_data_resource(module, manifest_resource), work + manifest_file_name);
    unpacked.payload = platform::find_data_resource(module, payload_resource);
    if (!manifest_written) return std::nullopt;
    return unpacked;
}

bool unpack_resource(platform::module_handle module, platform::resource_handle resource,
                     const std::string& destination) {
    if (!resource) return false;
    platform::loaded_resource loaded = platform::load_resource(module, resource);
    if (!loaded) return false;
    std::uint32_t size = platform::sizeof_resource(module, resource);
    platform::unique_file file(platform::create_file(destination.c_str(), platform::access::write,
                                                     platform::disposition::create_always));
    if (!file.valid()) {
        platform::free_resource(loaded);
        return false;
    }
    const void* bytes = platform::lock_resource(loaded);
    std::uint32_t written = 0;
    bool ok = bytes != nullptr || size == 0;
    if (ok && size > 0) ok = platform::write_file(file.get(), bytes, size, &written) && written == size;
    file.reset();
    platform::free_resource(loaded);
    return ok;
}

split_result write_payload_records(const std::uint8_t* base, std::uint32_t size, const std::string& work_folder,
                                   const record_written& on_record) {
    const std::span<const std::uint8_t> payload(base, size);
    std::size_t position = 0;
    int k = 2;
    split_result ending = split_result::written;
    std::vector<std::span<const std::uint8_t>> batch;
    std::vector<split_result> results;
    for (bool more = true; more;) {
        // The batch's records are found first: those before a record cut
        // short are still written.
        batch.clear();
        while (batch.size() < split_batch) {
            std::span<const std::uint8_t> content;
            formats::record_read read = formats::next_payload_record(payload, &position, &content);
            if (read != formats::record_read::record) {
                if (read == formats::record_read::cut_short) ending = split_result::cut_short;
                more = false;
                break;
            }
            batch.push_back(content);
        }
        results.assign(batch.size(), split_result::written);
        platform::in_parallel(batch.size(), split_threads, [&](std::size_t i) {
            results[i] = write_record(work_folder, k + static_cast<int>(i), batch[i]);
        });
        // Told in order, on the caller's thread, up to the first failure.
        for (split_result result : results) {
            if (result != split_result::written) return result;
            if (on_record) on_record();
        }
        k += static_cast<int>(batch.size());
    }
    return ending;
}

split_result split_payload(platform::module_handle module, platform::resource_handle payload,
                           const std::string& work_folder, const record_written& on_record) {
    if (!payload) return split_result::no_payload;
    platform::loaded_resource loaded = platform::load_resource(module, payload);
    if (!loaded) return split_result::cannot_load;
    std::uint32_t size = platform::sizeof_resource(module, payload);
    const auto* base = static_cast<const std::uint8_t*>(platform::lock_resource(loaded));
    split_result result = !base && size > 0 ? split_result::cut_short
                                            : write_payload_records(base, size, work_folder, on_record);
    platform::free_resource(loaded);
    return result;
}

void clean_work_folder(const std::string& folder) {
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
