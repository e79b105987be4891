// Message boxes on the host: one line "caption: text" on standard error,
// answered from PLUPDATE_ANSWERS, by a person at a terminal, or by default
// (OK goes on, a Yes/No question gets No), then a line "[answered WORD]"
// (or "[WORD by default]") with the answer used. A scripted answer that is
// not one of the box's buttons ends the run.
#include <strings.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "platform/host/answers.h"
#include "platform/host/console.h"
#include "platform/native.h"

namespace platform::native {

namespace {
const char* answer_word(box_answer answer) {
    switch (answer) {
        case box_answer::ok: return "ok";
        case box_answer::yes: return "yes";
        case box_answer::no: return "no";
    }
    return "?";
}
}  // namespace

box_answer message_box(const char* text, const char* caption, box_buttons buttons) {
    static std::mutex console;
    std::lock_guard lock(console);
    std::string line = std::string(caption) + ": " + text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    host::note_console_output();

    const bool yes_no = buttons == box_buttons::yes_no;
    box_answer chosen = yes_no ? box_answer::no : box_answer::ok;
    if (std::optional<std::string> scripted = host::next_answer(("the box \"" + line + "\"").c_str())) {
        const char* word = scripted->c_str();
        if (!yes_no && strcasecmp(word, "ok") == 0) chosen = box_answer::ok;
        else if (yes_no && strcasecmp(word, "yes") == 0) chosen = box_answer::yes;
        else if (yes_no && strcasecmp(word, "no") == 0) chosen = box_answer::no;
        else
            host::answers_failed("answers \"" + *scripted + "\" to the box \"" + line + "\", which takes " +
                                 (yes_no ? "yes or no" : "ok"));
        std::fprintf(stderr, "[answered %s]\n", answer_word(chosen));
    } else if (host::can_ask_person()) {
        std::fprintf(stderr, yes_no ? "[yes/no] " : "[press Enter] ");
        std::fflush(stderr);
        std::string typed;
        if (std::getline(std::cin, typed) && yes_no && !typed.empty() && (typed[0] == 'y' || typed[0] == 'Y'))
            chosen = box_answer::yes;
        std::fprintf(stderr, "[answered %s]\n", answer_word(chosen));
    } else {
        std::fprintf(stderr, "[%s by default]\n", answer_word(chosen));
    }
    std::fflush(stderr);
    return chosen;
}

}  // namespace platform::native
