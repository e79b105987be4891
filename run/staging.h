// Staging files: new content made beside its target under a name that no
// installed file has, before the commit puts it in place.
#pragma once

#include <string>

#include "platform/files.h"

namespace run {

// The marker every staging name holds after its target's name.
inline constexpr const char* staging_marker = ".~plu";

// Makes an empty staging file for `target`, "<target>.~plu<16 hex>-<n>",
// created exclusively (a name that is taken, by a file or a link, is never
// reused or followed; another random name is tried). Returns its path, or
// "" when none could be made. With `file`, the new file stays open for
// writing in it; without, it is closed.
std::string make_staging_file(const std::string& target, int entry_number, platform::unique_file* file = nullptr);

// Deletes the staging files that an interrupted run left in the folder
// holding `target`; each folder is looked at once per run, so the caller
// passes the set of folders already swept.
void remove_stale_staging(const std::string& target, std::string* swept_folders);

}  // namespace run
