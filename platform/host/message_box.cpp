// Message boxes on the host: one line "caption: text" on standard error,
// answered from PLUPDATE_ANSWERS, by a person at a terminal, or by default
// (OK goes on, a Yes/No question gets No).
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "platform/host/answers.h"
#include "platform/host/console.h"
#include "platform/native.h"

namespace platform::native {

box_answer message_box(const char* text, const char* caption, box_buttons buttons) {
    static std::mutex console;
    std::lock_guard lock(console);
    std::string line = std::string(caption) + ": " + text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    host::note_console_output();

    std::optional<std::string> answer = host::next_answer();
    if (!answer && host::can_ask_person()) {
        std::fprintf(stderr, buttons == box_buttons::ok ? "[press Enter] " : "[yes/no] ");
        std::fflush(stderr);
        std::string typed;
        if (std::getline(std::cin, typed)) answer = typed;
    }
    if (buttons == box_buttons::ok) return box_answer::ok;
    if (answer && !answer->empty() && ((*answer)[0] == 'y' || (*answer)[0] == 'Y')) return box_answer::yes;
    return box_answer::no;
}

}  // namespace platform::native
