// Helpers shared by the tests of both builds. Everything goes through the
// platform layer, so the same test reads the same on Windows and the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace testing_support {

using bytes = std::vector<std::uint8_t>;

// A fresh, empty folder under the temporary folder, ending with a
// backslash; removed with its files when the test ends.
class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

bool write_bytes(const std::string& path, const bytes& content);
bytes read_bytes(const std::string& path);  // empty when unreadable
bool exists(const std::string& path);
// Removes a folder (path ending with a backslash) with everything in it.
void remove_folder(const std::string& folder);
bytes text_bytes(const std::string& text);
std::string text_of(const bytes& content);
// The pieces one after another.
bytes concat(std::initializer_list<bytes> parts);
// A payload record built byte by byte, apart from the code under test: the
// u32 little-endian length field, then the content.
bytes payload_length_field(std::uint32_t n);
bytes payload_record(const bytes& content);
// `size` bytes of a seeded pseudo-random sequence.
bytes random_bytes(std::size_t size, unsigned seed);

// What another thread saw of a work counter while a pass ran with it
// (builder/work_counter.h), reading it over and over.
struct work_seen {
    std::uint64_t final = 0;   // the counter when the pass returned
    bool went_back = false;    // a read was below the one before
    bool overshot = false;     // a read was above start + total
    bool in_between = false;   // a read lay strictly between start and start + total
};
// Runs `pass` with a counter that starts at `start`, as one shared with
// other passes would, while another thread watches it.
work_seen watch_work(std::uint64_t start, std::uint64_t total,
                     const std::function<void(std::atomic<std::uint64_t>*)>& pass);

// A fixture file of tests/data, in the form the platform layer opens.
std::string data_file(const std::string& name);

// Records every message box instead of showing it, answering `answer`
// to Yes/No questions.
class message_recorder {
public:
    explicit message_recorder(platform::box_answer answer = platform::box_answer::no);
    ~message_recorder();
    message_recorder(const message_recorder&) = delete;
    message_recorder& operator=(const message_recorder&) = delete;
    // Each box as "caption: text".
    std::vector<std::string> messages() const;

private:
    platform::message_box_handler previous_;
};

}  // namespace testing_support

namespace testing_support {

// The plapp program's path, in the Windows form the platform layer takes.
std::string plapp_path();

// Waits up to `milliseconds` for a file to appear.
bool wait_for_file(const std::string& path, int milliseconds = 20000);

// Points the platform's temporary folder at `folder` (a Windows path ending
// with a backslash) while the object lives.
class temp_folder_override {
public:
    explicit temp_folder_override(const std::string& folder);
    ~temp_folder_override();
    temp_folder_override(const temp_folder_override&) = delete;
    temp_folder_override& operator=(const temp_folder_override&) = delete;

private:
    std::string previous_;
    bool had_previous_ = false;
};

}  // namespace testing_support
