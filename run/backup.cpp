#include "run/backup.h"

#include <cstdio>

#include "package/names.h"
#include "package/status_file.h"
#include "platform/durable.h"
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

// The folders of `relative` (a name with backslashes) made inside `root`.
void make_folders_of(const std::string& root, const std::string& relative) {
    for (std::size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
        platform::create_directory((root + relative.substr(0, at)).c_str());
}

// Each entry of `folder` (ending with a backslash) but "." and "..".
template <typename Visit>
void for_each_entry(const std::string& folder, Visit visit) {
    platform::find_data entry;
    platform::find_handle find = platform::find_first_file((folder + "*.*").c_str(), &entry);
    if (find == platform::invalid_find) return;
    do {
        if (entry.name != "." && entry.name != "..") visit(entry);
    } while (platform::find_next_file(find, &entry));
    platform::find_close(find);
}

// Removes a folder (ending with a backslash) and what it holds.
void remove_tree(const std::string& folder) {
    for_each_entry(folder, [&](const platform::find_data& entry) {
        std::string path = folder + entry.name;
        if (entry.is_directory && !platform::is_link(path.c_str())) {
            remove_tree(path + "\\");
        } else {
            platform::set_file_attributes_normal(path.c_str());
            platform::delete_file(path.c_str());
        }
    });
    platform::remove_directory(folder.substr(0, folder.size() - 1).c_str());
}

// Moves every file below `from` to the same place below `to`, over what is
// there.
void move_tree(const std::string& from, const std::string& to) {
    for_each_entry(from, [&](const platform::find_data& entry) {
        std::string source = from + entry.name, target = to + entry.name;
        if (entry.is_directory) {
            platform::create_directory(target.c_str());
            move_tree(source + "\\", target + "\\");
        } else {
            platform::set_file_attributes_normal(target.c_str());
            platform::replace_file_durably(source.c_str(), target.c_str());
        }
    });
}

}  // namespace

backup_choice prepare_backup(platform::module_handle module, bool silent, const std::string& app_folder) {
    if (silent) return {};
    if (ask(module, IDS_BACKUP_QUESTION) != platform::box_answer::yes) return {};

    std::string backup_folder = app_folder + "\\Backup\\";
    bool made = backup_folder.size() + 64 < backup_path_capacity &&
                platform::create_directory(backup_folder.c_str()) != platform::create_directory_result::failed;
    if (made) {
        std::string pending = backup_folder + pending_copies_folder;
        remove_tree(pending);
        made = platform::create_directory(pending.c_str()) == platform::create_directory_result::created;
    }
    if (made) return {backup_decision::with_backup, backup_folder};
    if (ask(module, IDS_BACKUP_FAILED) != platform::box_answer::yes) return {backup_decision::stop_run, {}};
    return {};
}

void log_build_line(const std::string& backup_folder, const package::status_file& status) {
    char line[3000];
    int n = std::snprintf(line, sizeof line, "Build:%d%s", status.read_build_number(), "\r\n");
    append_to_log(backup_folder, line, formatted_length(n, sizeof line));
}

bool back_up(const std::string& backup_folder, const std::string& target_path, const std::string& destination) {
    std::size_t slash = destination.find('\\');
    std::string copy_name = slash == std::string::npos ? destination : destination.substr(slash + 1);

    if (platform::is_link(target_path.c_str())) return false;
    if (platform::file_exists(target_path.c_str())) {
        std::string copy = backup_folder + pending_copies_folder + copy_name;
        make_folders_of(backup_folder + pending_copies_folder, copy_name);
        if (!platform::copy_file(target_path.c_str(), copy.c_str(), false)) {
            platform::delete_file(copy.c_str());
            return false;
        }
    }

    platform::local_time now = platform::get_local_time();
    char date[16], time[16], line[2048];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", now.month % 100, now.day % 100, now.year % 100);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour % 100, now.minute % 100, now.second % 100);
    int n = std::snprintf(line, sizeof line, "%s%s%s%s %s%s", "File:", destination.c_str(), " on ", date, time,
                          "\r\n");
    append_to_log(backup_folder, line, formatted_length(n, sizeof line));
    return true;
}

void promote_copies(const std::string& backup_folder) {
    std::string pending = backup_folder + pending_copies_folder;
    move_tree(pending, backup_folder);
    remove_tree(pending);
    platform::sync_folder(backup_folder.c_str());
}

}  // namespace run
