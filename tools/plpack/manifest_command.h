// plpack manifest FILE: the entries of a manifest in the order the updater
// applies them, and every inconsistency a release engineer must hear about.
#pragma once

#include <string>

namespace plpack {

// 0 when the manifest is consistent, 1 when it is not or cannot be read.
int command_manifest(const std::string& path);

}  // namespace plpack
