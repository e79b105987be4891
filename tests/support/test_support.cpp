#include "support/test_support.h"

#include <atomic>
#include <mutex>
#include <random>
#include <thread>

#include "platform/files.h"
#include "platform/paths.h"

namespace testing_support {

namespace {

void remove_tree(const std::string& folder) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find != platform::invalid_find) {
        do {
            if (entry.name == "." || entry.name == "..") continue;
            std::string path = folder + entry.name;
            if (entry.is_directory) {
                remove_tree(path + "\\");
            } else {
                platform::set_file_attributes_normal(path.c_str());
                platform::delete_file(path.c_str());
            }
        } while (platform::find_next_file(find, &entry));
        platform::find_close(find);
    }
    platform::remove_directory(folder.substr(0, folder.size() - 1).c_str());
}

std::mutex recorded_mutex;
std::vector<std::string> recorded;
std::atomic<platform::box_answer> recorded_answer{platform::box_answer::no};

platform::box_answer record(const char* text, const char* caption, platform::box_buttons buttons) {
    std::lock_guard lock(recorded_mutex);
    recorded.push_back(std::string(caption) + ": " + text);
    return buttons == platform::box_buttons::ok ? platform::box_answer::ok : recorded_answer.load();
}

}  // namespace

scratch_folder::scratch_folder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    for (;;) {
        path_ = platform::temp_path() + "pltest-" + std::to_string(random() % 1000000) + "-" +
                std::to_string(counter++) + "\\";
        if (platform::create_directory(path_.substr(0, path_.size() - 1).c_str()) ==
            platform::create_directory_result::created)
            break;
    }
}

scratch_folder::~scratch_folder() { remove_tree(path_); }

bool write_bytes(const std::string& path, const bytes& content) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
    std::uint32_t done = 0;
    return file.valid() && (content.empty() || (platform::write_file(file.get(), content.data(),
                                                                     static_cast<std::uint32_t>(content.size()),
                                                                     &done) &&
                                                done == content.size()));
}

bytes read_bytes(const std::string& path) {
    platform::unique_file file(
        platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing));
    if (!file.valid()) return {};
    bytes content(platform::get_file_size(file.get()));
    std::uint32_t done = 0;
    if (!content.empty() &&
        !platform::read_file(file.get(), content.data(), static_cast<std::uint32_t>(content.size()), &done))
        return {};
    content.resize(done);
    return content;
}

bool exists(const std::string& path) { return platform::file_exists(path.c_str()); }

void remove_folder(const std::string& folder) { remove_tree(folder); }

bytes text_bytes(const std::string& text) { return bytes(text.begin(), text.end()); }

std::string text_of(const bytes& content) { return std::string(content.begin(), content.end()); }

bytes concat(std::initializer_list<bytes> parts) {
    bytes all;
    for (const bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

bytes payload_length_field(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 24)};
}

bytes payload_record(const bytes& content) {
    return concat({payload_length_field(static_cast<std::uint32_t>(content.size())), content});
}

bytes random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

work_seen watch_work(std::uint64_t start, std::uint64_t total,
                     const std::function<void(std::atomic<std::uint64_t>*)>& pass) {
    std::atomic<std::uint64_t> counter{start};
    std::atomic<bool> running{true};
    work_seen seen;
    std::thread watcher([&] {
        std::uint64_t last = start;
        for (bool more = true; more;) {
            more = running.load();  // one read after the pass ended, too
            std::uint64_t now = counter.load();
            seen.went_back = seen.went_back || now < last;
            seen.overshot = seen.overshot || now > start + total;
            seen.in_between = seen.in_between || (now > start && now < start + total);
            last = now;
        }
    });
    pass(&counter);
    running = false;
    watcher.join();
    seen.final = counter.load();
    return seen;
}

std::string data_file(const std::string& name) {
    // The source tree's absolute path, as Wine and the host both see it.
    std::string path = std::string("Z:") + PLUPDATE_TEST_DATA + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

message_recorder::message_recorder(platform::box_answer answer) {
    std::lock_guard lock(recorded_mutex);
    recorded.clear();
    recorded_answer = answer;
    previous_ = platform::set_message_box_handler(record);
}

message_recorder::~message_recorder() { platform::set_message_box_handler(previous_); }

std::vector<std::string> message_recorder::messages() const {
    std::lock_guard lock(recorded_mutex);
    return recorded;
}

}  // namespace testing_support

#include "platform/sync.h"

namespace testing_support {

std::string plapp_path() {
    std::string path = PLAPP_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool wait_for_file(const std::string& path, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (platform::file_exists(path.c_str())) return true;
        platform::sleep_ms(10);
    }
    return platform::file_exists(path.c_str());
}

}  // namespace testing_support

#include <cstdlib>
#ifndef _WIN32
#include "platform/host/host_path.h"
#endif

namespace testing_support {

namespace {
#ifdef _WIN32
constexpr const char* temp_variable = "TMP";
void set_variable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
void unset_variable(const char* name) { _putenv_s(name, ""); }
std::string temp_value(const std::string& folder) { return folder.substr(0, folder.size() - 1); }
#else
constexpr const char* temp_variable = "TMPDIR";
void set_variable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
void unset_variable(const char* name) { unsetenv(name); }
std::string temp_value(const std::string& folder) { return platform::host::to_host(folder.c_str()); }
#endif
}  // namespace

temp_folder_override::temp_folder_override(const std::string& folder) {
    if (const char* value = std::getenv(temp_variable)) {
        previous_ = value;
        had_previous_ = true;
    }
    set_variable(temp_variable, temp_value(folder));
}

temp_folder_override::~temp_folder_override() {
    if (had_previous_)
        set_variable(temp_variable, previous_);
    else
        unset_variable(temp_variable);
}

}  // namespace testing_support
