// The version resource (VS_VERSIONINFO) of a Windows executable: a tree of
// blocks, each a key with a value and children, read and written whole so
// that one value can change and everything else stays as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plpack {

// `block` with its product version set to `build`: the ProductVersion
// string of every string table, and the fixed product version as
// build.0.0.0 when the build fits in 16 bits. False when the block is not
// a version resource.
bool set_product_version(std::span<const std::uint8_t> block, std::uint32_t build, std::vector<std::uint8_t>* out);

// The value of `key` in the first string table of the version resource
// `block`, or "" when there is none.
std::string version_string(std::span<const std::uint8_t> block, const std::string& key);

}  // namespace plpack
