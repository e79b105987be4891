// A run that starts by finishing the update an earlier run left
// interrupted in the middle of its commit.
#pragma once

#include "platform/resources.h"

namespace run {

// Looks for a journal in the registered installation's folder and, when it
// finds one, finishes that commit, records its outcome in the status file
// and says so (unless silent). True when it did: the run ends there, as
// the installation now holds the update. False when there was nothing to
// finish.
bool finish_interrupted_update(platform::module_handle module, bool silent);

}  // namespace run
