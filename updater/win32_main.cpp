// The updater's entry point on Windows. WinMain is declared here as the C
// runtime calls it, with the handles as the plain pointers they are, so
// that only platform/ includes <windows.h>.
#include "run/driver.h"

extern "C" int __stdcall WinMain(void* instance, void*, char* command_line, int) {
    return run::run_update(instance, command_line);
}
