// The updater's entry point on Windows.
#include <windows.h>

#include "run/driver.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    return run::run_update(instance, command_line);
}
