// Files and folders: the thin layer over CreateFileA and its companions.
// Paths are Windows paths on both builds (drive letter, backslashes).
//
// Errors in platform/: each call reports failure as the Windows call it
// stands for does, reduced to what the callers use: false, an invalid
// handle (invalid_file, invalid_find, no_mutex, nullptr), or a sentinel
// value its declaration names. Only the message box and the dialogs show
// anything.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using file_handle = std::intptr_t;
inline constexpr file_handle invalid_file = -1;

enum class access { read, write };
enum class disposition {
    open_existing,  // fail when the file does not exist
    create_always,  // create, or truncate an existing file
    open_always,    // open, creating the file when it does not exist
    create_new,     // create; fail when anything, a link included, has the name
};

// Opens without sharing and with normal attributes: while the handle is
// open, no other open of the same file succeeds.
file_handle create_file(const char* path, access mode, disposition how);
// Reads up to n bytes; *done receives the count delivered.
bool read_file(file_handle file, void* buffer, std::uint32_t n, std::uint32_t* done);
// Writes n bytes; *done receives the count written.
bool write_file(file_handle file, const void* buffer, std::uint32_t n, std::uint32_t* done);
// The low 32 bits of the size, or 0xFFFFFFFF on failure.
std::uint32_t get_file_size(file_handle file);
enum class seek_from { begin, current, end };
bool set_file_pointer(file_handle file, std::int32_t distance, seek_from origin);
bool close_handle(file_handle file);

bool copy_file(const char* from, const char* to, bool fail_if_exists);
bool move_file(const char* from, const char* to);
// Moves over an existing file in one step (MOVEFILE_REPLACE_EXISTING).
bool replace_file(const char* from, const char* to);
bool delete_file(const char* path);
bool set_file_attributes_normal(const char* path);
bool file_exists(const char* path);
// The size of the file at path, read from its attributes without opening
// it (GetFileAttributesExA); false when no file has the name (a folder
// neither).
bool file_size_of(const char* path, std::uint64_t* size);
// Whether the file at path has the read-only attribute.
bool is_read_only(const char* path);

enum class create_directory_result { created, already_exists, failed };
create_directory_result create_directory(const char* path);
// Removes an empty folder.
bool remove_directory(const char* path);
// Creates a folder only the current user can use: on the host mode 0700,
// and false unless what has the name afterwards is that user's own folder
// with that mode and no link; on Windows an ACL granting the user alone
// full access. False when anything already has the name.
bool create_private_directory(const char* path);
// Removes a file or a folder with all it holds, read-only files included,
// without following any link: a link is removed, never what it names.
// True when nothing has the name afterwards.
bool remove_tree(const char* path);

// Folder enumeration with a pattern such as "C:\dir\*.*"; the entries
// "." and ".." are listed as on Windows.
struct find_data {
    std::string name;
    bool is_directory = false;
};
using find_handle = std::intptr_t;
inline constexpr find_handle invalid_find = -1;
find_handle find_first_file(const char* pattern, find_data* data);
bool find_next_file(find_handle find, find_data* data);
void find_close(find_handle find);

// The system temporary folder, ending with a backslash (GetTempPathA).
std::string temp_path();

struct local_time {
    int year, month, day, hour, minute, second;
};
local_time get_local_time();
// Replaces where get_local_time takes the time from (a test pins it).
// Returns the previous source; nullptr restores the system clock.
using local_time_source = local_time (*)();
local_time_source set_local_time_source(local_time_source source);

// Closes a file handle when it goes out of scope.
class unique_file {
public:
    unique_file() = default;
    explicit unique_file(file_handle file) : file_(file) {}
    unique_file(const unique_file&) = delete;
    unique_file& operator=(const unique_file&) = delete;
    ~unique_file() { reset(); }
    file_handle get() const { return file_; }
    bool valid() const { return file_ != invalid_file; }
    void reset(file_handle file = invalid_file) {
        if (file_ != invalid_file) close_handle(file_);
        file_ = file;
    }
    // Gives the handle up without closing it.
    file_handle release() {
        file_handle file = file_;
        file_ = invalid_file;
        return file;
    }

private:
    file_handle file_ = invalid_file;
};

}  // namespace platform
