#include "platform/host/answers.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

namespace platform::host {

namespace {
std::mutex answers_mutex;
std::vector<std::string> answers;
std::size_t next_line = 0;
bool loaded = false;

void load_answers() {
    loaded = true;
    const char* file = std::getenv("PLUPDATE_ANSWERS");
    if (!file || !*file) return;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        answers.push_back(line);
    }
}
}  // namespace

std::optional<std::string> next_answer() {
    std::lock_guard lock(answers_mutex);
    if (!loaded) load_answers();
    if (next_line >= answers.size()) return std::nullopt;
    return answers[next_line++];
}

bool can_ask_person() {
    const char* file = std::getenv("PLUPDATE_ANSWERS");
    return !(file && *file) && isatty(STDIN_FILENO);
}

}  // namespace platform::host
