// Rewriting the resources of a Windows executable (PE): the resource tree
// is read whole, the DATA resources 1000-1002 are replaced, and the tree is
// written back as a new resource section at the end of the image.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plpack {

struct package_bytes {
    std::span<const std::uint8_t> status;
    std::span<const std::uint8_t> manifest;
    std::span<const std::uint8_t> payload;
    std::uint32_t build = 0;  // the build the status file declares; 0 leaves the version resource alone
};

// `image` with its DATA resources 1000, 1001 and 1002 replaced by the
// package's files, all its other resources kept, any Authenticode
// signature dropped, the header checksum recomputed, and the product
// version of its version resource set to the package's build. False, with
// *problem saying why, when the image is not a PE carrying those three
// resources or is damaged.
bool replace_package_resources(std::span<const std::uint8_t> image, const package_bytes& package,
                               std::vector<std::uint8_t>* out, std::string* problem);

// The data of the first version resource of the PE `image`; empty when it
// has none or is not a PE.
std::vector<std::uint8_t> version_resource(std::span<const std::uint8_t> image);

// The checksum of a PE file as the loader computes it: the 16-bit sum with
// carries of the file, the checksum field taken as zero, plus its length.
std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::uint64_t checksum_offset);

}  // namespace plpack
