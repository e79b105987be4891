// Scripted answers for the host's message boxes and dialogs.
#pragma once

#include <optional>
#include <string>

namespace platform::host {

// The next line of the file named by PLUPDATE_ANSWERS ("ok", "yes", "no",
// a path or "cancel"), in order; nothing when the variable is unset or the
// lines are used up.
std::optional<std::string> next_answer();

// Whether a person can be asked: no answers file and a terminal on input.
bool can_ask_person();

}  // namespace platform::host
