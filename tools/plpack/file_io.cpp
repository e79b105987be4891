#include <cstdio>

#include "platform/files.h"
#include "tools/plpack/commands.h"

namespace plpack {

bool read_whole_file(const std::string& path, std::vector<std::uint8_t>* content) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    std::uint32_t size = file.valid() ? platform::get_file_size(file.get()) : 0xFFFFFFFFu;
    std::uint32_t got = 0;
    if (size != 0xFFFFFFFFu) {
        content->resize(size);
        if (size == 0 || (platform::read_file(file.get(), content->data(), size, &got) && got == size)) return true;
    }
    std::fprintf(stderr, "plpack: cannot read %s\n", path.c_str());
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
    std::fprintf(stderr, "plpack: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace plpack
