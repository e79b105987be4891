#include "platform/host/answers.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

namespace platform::host {

namespace {
std::mutex answers_mutex;
std::vector<std::string> answers;
std::size_t next_line = 0;
bool loaded = false;

const char* answers_file() {
    const char* file = std::getenv("PLUPDATE_ANSWERS");
    return file && *file ? file : nullptr;
}

void load_answers(const char* file) {
    loaded = true;
    std::ifstream in(file, std::ios::binary);
    if (!in) answers_failed(std::string("cannot be read (") + std::strerror(errno) + ")");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        answers.push_back(line);
    }
}
}  // namespace

void answers_failed(const std::string& what) {
    const char* file = answers_file();
    std::fprintf(stderr, "The answers file %s (PLUPDATE_ANSWERS) %s; the run ends here.\n", file ? file : "",
                 what.c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

std::optional<std::string> next_answer(const char* asked) {
    std::lock_guard lock(answers_mutex);
    const char* file = answers_file();
    if (!file) return std::nullopt;
    if (!loaded) load_answers(file);
    if (next_line >= answers.size())
        answers_failed("has no answer left for " + std::string(asked) + " (it holds " +
                       std::to_string(answers.size()) + ")");
    return answers[next_line++];
}

bool can_ask_person() { return !answers_file() && isatty(STDIN_FILENO); }

}  // namespace platform::host
