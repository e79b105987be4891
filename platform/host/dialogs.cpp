// The host's open-file dialog: the next line of PLUPDATE_ANSWERS (a path,
// Windows or host form, or "cancel"; a file whose lines are used up ends the
// run), else a person at a terminal, else cancelled. As the real dialog accepts only an existing file, a path that
// names none is reported on standard error and the next answer is taken.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/files.h"
#include "platform/host/answers.h"
#include "platform/host/console.h"
#include "platform/host/host_path.h"
#include "platform/native.h"

namespace platform::native {

bool open_file_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity) {
    for (;;) {
        host::note_console_output();
        std::fprintf(stderr, "Open %s (%s): ", description, pattern);
        std::optional<std::string> answer =
            host::next_answer((std::string("the open-file dialog for ") + description).c_str());
        if (answer) {
            std::fprintf(stderr, "%s\n", answer->c_str());
        } else if (host::can_ask_person()) {
            std::fflush(stderr);
            std::string typed;
            if (std::getline(std::cin, typed)) answer = typed;
        } else {
            std::fprintf(stderr, "cancel\n");
        }
        if (!answer || answer->empty() || strcasecmp(answer->c_str(), "cancel") == 0) return false;
        std::string path = (*answer)[0] == '/' ? host::to_windows(*answer) : *answer;
        if (!file_exists(path.c_str())) {
            std::fprintf(stderr, "%s: file not found.\n", path.c_str());
            continue;
        }
        if (path.size() >= capacity) return false;
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return true;
    }
}

}  // namespace platform::native
