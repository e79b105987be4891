// The updater's entry point on the host. The command line reaches the run
// as Windows hands it to WinMain: the arguments after the program's name,
// as one text.
#include <string>

#include "run/driver.h"

int main(int argc, char** argv) {
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    return run::run_update(nullptr, command_line.c_str());
}
