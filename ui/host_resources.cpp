// The host build's string table: the rows of ui/resource_ids.h, which
// ui/strings.rc gives the Windows build, registered with the host platform
// before main. Every host executable compiles this file itself, as every
// Windows executable links the resource scripts, so that no linker drops
// the registration along with an unused object of a library.
#include "platform/host/embedded.h"
#include "ui/resource_ids.h"

namespace {

struct string_table_registration {
    string_table_registration() {
#define PLUPDATE_STRING_ROW(id, text) platform::host::register_string(id, text);
        PLUPDATE_STRING_TABLE(PLUPDATE_STRING_ROW)
#undef PLUPDATE_STRING_ROW
    }
} registration;

}  // namespace
