// The host's dialog templates: what a resource script gives a Windows
// executable, registered by the program above the platform before its
// dialogs are created.
#pragma once

#include <vector>

namespace platform::host {

struct dialog_control {
    int id;
    bool is_bar;       // a progress bar; otherwise a text
    const char* text;  // the control's text in the template
};

// Registers (or replaces) dialog template `template_id`: its controls in
// the order they are drawn on a terminal, one line each.
void register_dialog_template(int template_id, std::vector<dialog_control> controls);

}  // namespace platform::host
