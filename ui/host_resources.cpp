// The host build's resources from ui/: the string table rows of
// ui/resource_ids.h (ui/strings.rc on Windows) and the progress window's
// dialog template (ui/progress.rc on Windows), registered with the host
// platform before main. Every host executable compiles this file itself, as
// every Windows executable links the resource scripts, so that no linker
// drops the registration along with an unused object of a library.
#include "platform/host/dialog_templates.h"
#include "platform/host/embedded.h"
#include "ui/resource_ids.h"

namespace {

struct resource_registration {
    resource_registration() {
#define PLUPDATE_STRING_ROW(id, text) platform::host::register_string(id, text);
        PLUPDATE_STRING_TABLE(PLUPDATE_STRING_ROW)
#undef PLUPDATE_STRING_ROW
        platform::host::register_dialog_template(IDD_PROGRESS, {{IDC_STATUS, false, TXT_STARTING},
                                                                {IDC_PROGRESS_LINE, false, ""},
                                                                {IDC_PROGRESS_BAR, true, TXT_PROGRESS_BAR}});
    }
} registration;

}  // namespace
