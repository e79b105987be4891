// The updater's string table, loaded from its own module.
#pragma once

#include <string>

#include "platform/resources.h"
#include "ui/resource_ids.h"

namespace ui {

// The updater's module handle, recorded at the start of a run; nullptr
// until then, which stands for the running executable.
extern platform::module_handle module_instance;

// String `id` of the string table (at most capacity - 1 characters).
std::string load_text(unsigned id, int capacity = 2000);

}  // namespace ui
