// A run that starts by finishing the update an earlier run left
// interrupted in the middle of its commit.
#pragma once

#include <string>

#include "package/manifest.h"
#include "platform/resources.h"

namespace run {

// Looks for a journal in the registered installation's folder and, when it
// finds one, finishes that commit, records its outcome in the status file
// and says so (unless silent). True when it did: the run ends there, as
// the installation now holds the update. False when there was nothing to
// finish.
bool finish_interrupted_update(platform::module_handle module, bool silent);

// Whether the executable at `exe_path` holds the new content that the
// manifest's Core entry for it promises (its File<N>SHA256 and Size);
// false when the manifest has no such entry or no digest for it.
bool holds_new_executable(const package::manifest& manifest, const std::string& exe_path);

// Whether the registered installation's executable is the one this
// package installs: the package was applied already (or a run before this
// one was interrupted after it), and the run goes on without the check of
// the installed build, every entry already done counting as done. Reads
// the manifest unpacked into `work_folder`.
bool installation_holds_new_release(const std::string& work_folder);

}  // namespace run
