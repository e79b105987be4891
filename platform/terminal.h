// Whether a console tool's standard error is a terminal, where a progress
// line that rewrites itself makes sense.
#pragma once

namespace platform {

bool error_output_is_terminal();

}  // namespace platform
