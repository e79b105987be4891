// Finding the update package inside a built updater: the data resources
// 1000 (status file), 1001 (manifest) and 1002 (payload). A Windows updater
// (PE) carries them as resources of type "DATA"; a host updater (ELF)
// links their bytes in between the symbols plupdate_resource_<id> and
// plupdate_resource_<id>_end.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace plpack {

struct embedded_package {
    std::span<const std::uint8_t> status;
    std::span<const std::uint8_t> manifest;
    std::span<const std::uint8_t> payload;
};

// The package inside `image`, the bytes of an executable file; the spans
// point into `image`. False, with *problem saying why, when the file is
// neither a PE nor an ELF executable, is damaged, or lacks a resource.
bool find_embedded_package(std::span<const std::uint8_t> image, embedded_package* found, std::string* problem);

}  // namespace plpack
