#include <algorithm>
#include <cstdio>

#include "platform/files.h"
#include "tools/plpack/commands.h"

namespace plpack {

read_outcome read_file_quietly(const std::string& path, std::vector<std::uint8_t>* content) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!file.valid()) return read_outcome::cannot_read;
    // GetFileSize gives the low 32 bits: a file of 4 GiB or more looks
    // smaller than it is. Reading one byte past the size tells.
    std::uint32_t size = platform::get_file_size(file.get());
    if (size == 0xFFFFFFFFu) return read_outcome::too_large;
    content->resize(size);
    std::uint32_t got = 0;
    if (size > 0 && (!platform::read_file(file.get(), content->data(), size, &got) || got != size))
        return read_outcome::cannot_read;
    std::uint8_t beyond = 0;
    if (!platform::read_file(file.get(), &beyond, 1, &got)) return read_outcome::cannot_read;
    return got == 0 ? read_outcome::read : read_outcome::too_large;
}

std::uint64_t file_size(const std::string& path) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    std::uint32_t size = file.valid() ? platform::get_file_size(file.get()) : 0xFFFFFFFFu;
    return size == 0xFFFFFFFFu ? 0 : size;
}

std::string too_large_text(const std::string& shown) {
    return shown + " is 4 GiB or larger; the package formats hold 32-bit lengths, so no file may reach 4 GiB";
}

bool read_whole_file(const std::string& path, std::vector<std::uint8_t>* content) {
    switch (read_file_quietly(path, content)) {
    case read_outcome::read: return true;
    case read_outcome::too_large: std::fprintf(stderr, "plpack: %s\n", too_large_text(shown(path)).c_str()); break;
    case read_outcome::cannot_read:
        if (folder_exists(path))
            std::fprintf(stderr, "plpack: %s is a folder, not a file\n", shown(path).c_str());
        else
            std::fprintf(stderr, "plpack: cannot read %s%s\n", shown(path).c_str(), reason().c_str());
        break;
    }
    return false;
}

bool write_whole_file(const std::string& path, const std::vector<std::uint8_t>& content) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
    std::uint32_t size = static_cast<std::uint32_t>(content.size());
    std::uint32_t written = 0;
    if (file.valid() && (size == 0 || (platform::write_file(file.get(), content.data(), size, &written) &&
                                       written == size)))
        return true;
    std::fprintf(stderr, "plpack: cannot write %s%s\n", shown(path).c_str(), reason().c_str());
    return false;
}

compare_outcome compare_files(const std::string& a, const std::string& b) {
    platform::unique_file first(
        platform::create_file(a.c_str(), platform::access::read, platform::disposition::open_existing));
    platform::unique_file second(
        platform::create_file(b.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!first.valid() || !second.valid()) return compare_outcome::cannot_read;
    // Read to the end of both, whatever GetFileSize says: a file cut to
    // its low 32 bits differs from the whole one.
    std::vector<std::uint8_t> x(1 << 20), y(1 << 20);
    for (;;) {
        std::uint32_t got_x = 0, got_y = 0;
        if (!platform::read_file(first.get(), x.data(), static_cast<std::uint32_t>(x.size()), &got_x) ||
            !platform::read_file(second.get(), y.data(), static_cast<std::uint32_t>(y.size()), &got_y))
            return compare_outcome::cannot_read;
        if (got_x != got_y || !std::equal(x.begin(), x.begin() + got_x, y.begin())) return compare_outcome::differ;
        if (got_x == 0) return compare_outcome::same;
    }
}

}  // namespace plpack
