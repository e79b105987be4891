// Standard error on the host, shared by message boxes, dialogs and the
// drawn progress window.
#pragma once

namespace platform::host {

// Tells the progress drawing that other lines were written to standard
// error, so that its next drawing starts below them instead of over them.
void note_console_output();

}  // namespace platform::host
