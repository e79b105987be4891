// Scripted answers for the host's message boxes and dialogs.
#pragma once

#include <optional>
#include <string>

namespace platform::host {

// The next line of the file named by PLUPDATE_ANSWERS ("ok", "yes", "no",
// a path or "cancel"), in order; nothing when the variable is unset. When
// it is set, a file that cannot be read or whose lines are used up ends the
// process (answers_failed), as a run that asks more than its script
// answers has gone somewhere the script did not expect.
std::optional<std::string> next_answer(const char* asked);

// Ends the process with exit code 3 after a line on standard error naming
// the answers file and what was wrong with it.
[[noreturn]] void answers_failed(const std::string& what);

// Whether a person can be asked: no answers file and a terminal on input.
bool can_ask_person();

}  // namespace platform::host
