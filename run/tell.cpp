#include "run/tell.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/ui.h"
#include "ui/strings.h"

namespace run {

void show_error(platform::module_handle module, unsigned text_id) {
    platform::message_box(ui::load_text(module, text_id).c_str(), ui::load_text(module, IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
}

void tell_patch_result(platform::module_handle module, patch::patch_result result, const std::string& output_path) {
    switch (result) {
    case patch::patch_result::verified:
        return;
    case patch::patch_result::failed:
        show_error(module, IDS_UNKNOWN_ERROR);
        return;
    case patch::patch_result::checksum_mismatch:
        show_error(module, IDS_CHECKSUM_ERROR);
        log_patch_error(output_path.c_str());
        return;
    }
}

void log_patch_error(const char* output_path) {
    std::string log_path = platform::temp_path() + "RegLog.txt";
    platform::unique_file log(
        platform::create_file(log_path.c_str(), platform::access::write, platform::disposition::open_always));
    if (!log.valid()) return;
    char line[2000];
    int length = std::snprintf(line, sizeof line, "Error Patching File: %s%s", output_path, "\r\n");
    if (length < 0) return;
    std::uint32_t n = length < static_cast<int>(sizeof line) ? static_cast<std::uint32_t>(length)
                                                             : static_cast<std::uint32_t>(sizeof line - 1);
    std::uint32_t written = 0;
    if (platform::set_file_pointer(log.get(), 0, platform::seek_from::end))
        platform::write_file(log.get(), line, n, &written);
}

const char* split_failure_text(package::split_result result) {
    switch (result) {
    case package::split_result::written: return nullptr;
    case package::split_result::no_payload: return "Error Opening main File";
    case package::split_result::cannot_load: return "Error main Allocation";
    case package::split_result::cut_short: return "Error reading main File";
    case package::split_result::cannot_create: return "Error creating temp File";
    case package::split_result::write_failed: return "Error writting temp File";
    }
    return nullptr;
}

void tell_split_result(package::split_result result) {
    if (const char* text = split_failure_text(result))
        platform::message_box(text, "Pelora Patch", platform::box_buttons::ok);
}

}  // namespace run
