// The updater's string table, loaded from its own module.
#pragma once

#include <string>

#include "platform/resources.h"
#include "ui/resource_ids.h"

namespace ui {

// String `id` of the string table of `module` (nullptr: the running
// executable), at most capacity - 1 characters; empty when absent.
std::string load_text(platform::module_handle module, unsigned id, int capacity = 2000);

}  // namespace ui
