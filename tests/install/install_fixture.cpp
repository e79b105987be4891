#include "install_fixture.h"

#include <mutex>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace install_testing {

namespace {

std::mutex dialog_mutex;
std::vector<std::string> pending;
int shown_count = 0;
std::string last_filter;

bool answer_dialog(const char* description, const char* pattern, char* buffer, std::size_t capacity) {
    std::lock_guard lock(dialog_mutex);
    ++shown_count;
    last_filter = std::string(description) + "|" + pattern;
    if (pending.empty()) return false;
    std::string answer = pending.front();
    pending.erase(pending.begin());
    if (answer == "cancel" || answer.size() >= capacity) return false;
    answer.copy(buffer, answer.size());
    buffer[answer.size()] = '\0';
    return true;
}

}  // namespace

// The fixture imported last. An import takes a process start under Wine:
// it is skipped when the registry holds the scenario already.
std::string loaded;

void use_registry(const std::string& name) {
    if (loaded == name) return;
    ASSERT_TRUE(platform::import_registry_file(testing_support::data_file("registry/" + name).c_str())) << name;
    loaded = name;
}

void import_registry(const std::string& path) {
    loaded.clear();
    ASSERT_TRUE(platform::import_registry_file(path.c_str())) << path;
}

dialog_answers::dialog_answers(std::vector<std::string> answers) {
    std::lock_guard lock(dialog_mutex);
    pending = std::move(answers);
    shown_count = 0;
    last_filter.clear();
    platform::set_open_file_handler(answer_dialog);
}

dialog_answers::~dialog_answers() { platform::set_open_file_handler(nullptr); }

int dialog_answers::shown() const {
    std::lock_guard lock(dialog_mutex);
    return shown_count;
}

std::string dialog_answers::filter() const {
    std::lock_guard lock(dialog_mutex);
    return last_filter;
}

testing_support::bytes bytes_with_sum(std::uint32_t sum) {
    auto signed_sum = static_cast<std::int64_t>(static_cast<std::int32_t>(sum));
    std::uint8_t step = signed_sum >= 0 ? 0x7F : 0x80;
    std::int64_t step_value = signed_sum >= 0 ? 127 : -128;
    testing_support::bytes content(static_cast<std::size_t>(signed_sum / step_value), step);
    std::int64_t rest = signed_sum % step_value;
    if (rest != 0) content.push_back(static_cast<std::uint8_t>(rest));
    return content;
}

void clean_drive() {
    testing_support::remove_folder("C:\\Apps\\");
    testing_support::remove_folder("C:\\P\\");
    platform::delete_file("C:\\Pelora9.exe");
}

void place_file(const std::string& path, const testing_support::bytes& content) {
    for (std::size_t cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1))
        platform::create_directory(path.substr(0, cut).c_str());
    ASSERT_TRUE(testing_support::write_bytes(path, content)) << path;
}

void drive_test::SetUp() {
    clean_drive();
    ASSERT_NE(platform::create_directory("C:\\Apps"), platform::create_directory_result::failed)
        << "drive C: is not available (the host build keeps it in $PLUPDATE_DRIVES/c)";
}

}  // namespace install_testing
