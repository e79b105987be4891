#include "run/staging.h"

#include <cctype>
#include <cstdio>
#include <random>

#include "package/names.h"
#include "platform/durable.h"
#include "platform/files.h"

namespace run {

namespace {

std::string folder_of(const std::string& path) {
    std::size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// "<name>.~plu<16 hex>-<n>": what make_staging_file names.
bool is_staging_name(const std::string& name) {
    std::size_t at = name.rfind(staging_marker);
    if (at == std::string::npos) return false;
    std::size_t hex = at + std::char_traits<char>::length(staging_marker);
    if (name.size() < hex + 18 || name[hex + 16] != '-') return false;
    for (std::size_t i = hex; i < hex + 16; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

}  // namespace

std::string make_staging_file(const std::string& target, int entry_number, platform::unique_file* file) {
    static std::random_device source;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::uint64_t random = (static_cast<std::uint64_t>(source()) << 32) ^ source();
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, "%s%016llx-%d", staging_marker,
                      static_cast<unsigned long long>(random), entry_number);
        std::string path = target + suffix;
        platform::unique_file made(platform::create_new_file(path.c_str()));
        if (!made.valid()) continue;
        if (file) file->reset(made.release());
        return path;
    }
    return {};
}

void remove_stale_staging(const std::string& target, std::string* swept_folders) {
    std::string folder = folder_of(target);
    // One folder may be named in more than one letter case: swept again
    // under another, it would lose the staging files this run made in it.
    std::string key = "\n" + package::folded_name(folder) + "\n";
    if (folder.empty() || swept_folders->find(key) != std::string::npos) return;
    *swept_folders += key;
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find == platform::invalid_find) return;
    do {
        if (!entry.is_directory && is_staging_name(entry.name))
            platform::delete_file((folder + entry.name).c_str());
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
}

}  // namespace run
