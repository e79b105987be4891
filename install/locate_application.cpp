#include "install/locate_application.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "patch/byte_sum.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace install {

namespace {

// "Pelora9.exe" in the folder of the path the user picks (the name picked
// does not count); false when the dialog is cancelled or the result would
// not fit the command's capacity.
bool ask_for_application(std::string* exe_path) {
    char chosen[dialog_path_capacity] = "";
    if (!platform::open_file_dialog(application_exe, application_exe, chosen, sizeof chosen)) return false;
    std::string folder = chosen;
    if (!cut_after_last_backslash(&folder)) return false;
    if (folder.size() + std::strlen(application_exe) >= command_capacity) return false;
    *exe_path = folder + application_exe;
    return true;
}

platform::file_handle open_image(const std::string& path) {
    return platform::create_file(path.c_str(), platform::access::read, platform::disposition::open_existing);
}

bool fail(const char* message) {
    platform::message_box(message, error_caption, platform::box_buttons::ok);
    return false;
}

}  // namespace

bool read_registry_value(platform::registry_root root, const char* subkey, const char* value_name, char* buffer,
                        std::uint32_t* length) {
    platform::registry_key key = nullptr;
    if (!platform::registry_open_key(root, subkey, &key)) return false;
    std::uint32_t size = 0;
    if (!platform::registry_query_value(key, value_name, nullptr, &size) || size > *length) {
        platform::registry_close_key(key);
        return false;
    }
    std::uint32_t stored = *length;
    bool read = platform::registry_query_value(key, value_name, buffer, &stored);
    if (read) *length = stored;
    platform::registry_close_key(key);
    return read;
}

std::string registry_text(const char* data, std::uint32_t length) {
    return std::string(data, std::find(data, data + length, '\0'));
}

bool look_up_application(const key_list& keys, std::string* text) {
    char command[command_capacity];
    for (const char* subkey : keys) {
        std::uint32_t length = command_capacity;
        if (read_registry_value(platform::registry_root::classes_root, subkey, "", command, &length)) {
            *text = registry_text(command, length);
            return true;
        }
    }
    return ask_for_application(text);
}

bool cut_after_last_backslash(std::string* text) {
    std::size_t last = text->rfind('\\');
    if (last == std::string::npos) return false;
    text->resize(last + 1);
    return true;
}

bool folder_of_command(const std::string& command, std::string* folder) {
    std::string text = !command.empty() && command[0] == '"' ? command.substr(1) : command;
    if (!cut_after_last_backslash(&text)) return false;
    *folder = text;
    return true;
}

bool locate_application() {
    std::string command, folder;
    if (!look_up_application(locate_keys, &command) || !folder_of_command(command, &folder) ||
        folder.size() + std::strlen(application_exe) >= command_capacity)
        return fail("Pelora cannot be located.");

    platform::unique_file file(open_image(folder + application_exe));
    std::string picked;
    if (!file.valid() && ask_for_application(&picked)) file.reset(open_image(picked));
    if (!file.valid()) return fail("File Open Error.");

    // The whole executable in one allocation and one read; what the read
    // delivers is what is summed. The buffer goes before the file closes.
    std::uint32_t size = platform::get_file_size(file.get());
    std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[size]);
    if (!image) return fail("Allocation Error.");
    std::uint32_t read = 0;
    platform::read_file(file.get(), image.get(), size, &read);
    std::uint32_t sum = patch::byte_sum({image.get(), read});
    if (std::find(accepted_image_sums.begin(), accepted_image_sums.end(), sum) != accepted_image_sums.end()) return true;
    return fail("This copy of Pelora cannot be updated.");
}

}  // namespace install
