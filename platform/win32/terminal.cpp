#include "platform/terminal.h"

#include <windows.h>

namespace platform {

bool error_output_is_terminal() {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE && GetFileType(error) == FILE_TYPE_CHAR;
}

}  // namespace platform
