#include "run/backup.h"

#include <cstdio>

#include "package/names.h"
#include "package/status_file.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "ui/strings.h"

namespace run {

namespace {

// Appends one line to Log.txt, creating it when absent.
void append_to_log(const std::string& backup_folder, const char* line, std::size_t length) {
    std::string path = backup_folder + "Log.txt";
    platform::unique_file log(
        platform::create_file(path.c_str(), platform::access::write, platform::disposition::open_always));
    if (!log.valid()) return;
    std::uint32_t written = 0;
    if (platform::set_file_pointer(log.get(), 0, platform::seek_from::end))
        platform::write_file(log.get(), line, static_cast<std::uint32_t>(length), &written);
}

std::size_t formatted_length(int n, std::size_t capacity) {
    if (n < 0) return 0;
    return static_cast<std::size_t>(n) < capacity ? static_cast<std::size_t>(n) : capacity - 1;
}

platform::box_answer ask(platform::module_handle module, unsigned text_id) {
    std::string text = ui::load_text(module, text_id), caption = ui::load_text(module, IDS_UPDATER_CAPTION);
    return platform::message_box(text.c_str(), caption.c_str(), platform::box_buttons::yes_no);
}

}  // namespace

backup_choice prepare_backup(platform::module_handle module, bool silent, const std::string& app_folder) {
    if (silent) return {};
    if (ask(module, IDS_BACKUP_QUESTION) != platform::box_answer::yes) return {};

    std::string backup_folder = app_folder + "\\Backup\\";
    bool fits = backup_folder.size() < backup_path_capacity;
    if (fits) {
        platform::find_data entry;
        platform::find_handle find = platform::find_first_file((backup_folder + "*.*").c_str(), &entry);
        if (find != platform::invalid_find) {
            do {
                if (!entry.is_directory && !package::names_equal(entry.name, "log.txt"))
                    platform::delete_file((backup_folder + entry.name).c_str());
            } while (platform::find_next_file(find, &entry));
            platform::find_close(find);
        }
    }
    platform::create_directory_result made =
        fits ? platform::create_directory(backup_folder.c_str()) : platform::create_directory_result::failed;
    if (made != platform::create_directory_result::failed) return {backup_decision::with_backup, backup_folder};
    if (ask(module, IDS_BACKUP_FAILED) != platform::box_answer::yes) return {backup_decision::stop_run, {}};
    return {};
}

void log_build_line(const std::string& backup_folder, const package::status_file& status) {
    char line[3000];
    int n = std::snprintf(line, sizeof line, "Build:%d%s", status.read_build_number(), "\r\n");
    append_to_log(backup_folder, line, formatted_length(n, sizeof line));
}

void back_up(const std::string& backup_folder, const std::string& target_path, const std::string& destination) {
    std::size_t slash = destination.find('\\');
    std::string copy_name = slash == std::string::npos ? destination : destination.substr(slash + 1);

    platform::local_time now = platform::get_local_time();
    char date[16], time[16], line[2048];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", now.month % 100, now.day % 100, now.year % 100);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour % 100, now.minute % 100, now.second % 100);
    int n = std::snprintf(line, sizeof line, "%s%s%s%s %s%s", "File:", destination.c_str(), " on ", date, time,
                          "\r\n");
    append_to_log(backup_folder, line, formatted_length(n, sizeof line));

    platform::copy_file(target_path.c_str(), (backup_folder + copy_name).c_str(), false);
}

}  // namespace run
