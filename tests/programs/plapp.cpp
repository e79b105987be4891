// plapp plays the application in tests. Every start appends its command
// line to "plapp-started.txt" beside the executable. Options:
//   --startup MS     hold the startup mutex for MS milliseconds, then release it
//   --running        hold the running mutex until the --until file exists
//   --window         show a top-level window of the application's class until then
//   --abandon        end without releasing the mutexes it holds
//   --until FILE     the file whose appearance tells plapp to quit (it deletes it)
//   --ready FILE     created once plapp holds what it was asked to hold
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sync.h"

namespace {

void append_line(const std::string& path, const std::string& line) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::open_always));
    if (!file.valid()) return;
    std::string text = line + "\r\n";
    std::uint32_t written = 0;
    platform::set_file_pointer(file.get(), 0, platform::seek_from::end);
    platform::write_file(file.get(), text.data(), static_cast<std::uint32_t>(text.size()), &written);
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = platform::own_executable_path();
    std::string folder = self.substr(0, self.find_last_of('\\') + 1);
    append_line(folder + "plapp-started.txt", platform::own_command_line());

    long startup_ms = -1;
    bool running = false, window = false, abandon = false;
    std::string until, ready;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--startup" && i + 1 < argc) startup_ms = std::atol(argv[++i]);
        else if (a == "--running") running = true;
        else if (a == "--window") window = true;
        else if (a == "--abandon") abandon = true;
        else if (a == "--until" && i + 1 < argc) until = platform::path_from_command_line(argv[++i]);
        else if (a == "--ready" && i + 1 < argc) ready = platform::path_from_command_line(argv[++i]);
    }

    platform::mutex_handle startup = platform::no_mutex, running_mutex = platform::no_mutex;
    if (startup_ms >= 0) {
        startup = platform::create_mutex("Pelora9StartUp");
        platform::wait_for_mutex(startup, platform::wait_forever);
    }
    if (running) {
        running_mutex = platform::create_mutex("Pelora8PatchableRunning");
        platform::wait_for_mutex(running_mutex, platform::wait_forever);
    }
    if (window) platform::show_top_level_window("PL7AplClass");
    if (!ready.empty()) append_line(ready, "ready");

    if (startup_ms >= 0) {
        platform::sleep_ms(static_cast<std::uint32_t>(startup_ms));
        if (!abandon) platform::release_mutex(startup);
    }
    if ((running || window) && !until.empty()) {
        while (!platform::file_exists(until.c_str())) platform::sleep_ms(20);
        platform::delete_file(until.c_str());  // tells the test that plapp saw it
    }
    if (running && !abandon) platform::release_mutex(running_mutex);
    std::fflush(nullptr);
    if (abandon) std::_Exit(0);
    return 0;
}
