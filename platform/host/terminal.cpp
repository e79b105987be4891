#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool error_output_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
