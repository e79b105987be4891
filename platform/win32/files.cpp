#include <windows.h>
// after windows.h
#include <sddl.h>

#include <string>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/native.h"

namespace platform {

namespace {
HANDLE to_native(file_handle file) { return reinterpret_cast<HANDLE>(file); }
file_handle from_native(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? invalid_file : reinterpret_cast<file_handle>(handle);
}
}  // namespace

file_handle create_file(const char* path, access mode, disposition how) {
    if (call_fails(file_call::create_file)) return invalid_file;
    DWORD desired = mode == access::read ? GENERIC_READ : GENERIC_WRITE;
    DWORD creation = how == disposition::open_existing   ? OPEN_EXISTING
                     : how == disposition::create_always ? CREATE_ALWAYS
                     : how == disposition::create_new    ? CREATE_NEW
                                                         : OPEN_ALWAYS;
    return from_native(CreateFileA(path, desired, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool read_file(file_handle file, void* buffer, std::uint32_t n, std::uint32_t* done) {
    if (call_fails(file_call::read_file)) {
        *done = 0;
        return false;
    }
    DWORD got = 0;
    BOOL ok = ReadFile(to_native(file), buffer, n, &got, nullptr);
    *done = got;
    return ok != FALSE;
}

bool write_file(file_handle file, const void* buffer, std::uint32_t n, std::uint32_t* done) {
    if (call_fails(file_call::write_file)) {
        *done = 0;
        return false;
    }
    DWORD put = 0;
    BOOL ok = WriteFile(to_native(file), buffer, n, &put, nullptr);
    *done = put;
    return ok != FALSE;
}

std::uint32_t get_file_size(file_handle file) { return GetFileSize(to_native(file), nullptr); }

bool set_file_pointer(file_handle file, std::int32_t distance, seek_from origin) {
    DWORD method = origin == seek_from::begin ? FILE_BEGIN : origin == seek_from::current ? FILE_CURRENT : FILE_END;
    return SetFilePointer(to_native(file), distance, nullptr, method) != INVALID_SET_FILE_POINTER;
}

bool close_handle(file_handle file) { return file != invalid_file && CloseHandle(to_native(file)) != FALSE; }

bool copy_file(const char* from, const char* to, bool fail_if_exists) {
    return !call_fails(file_call::copy_file) && CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) != FALSE;
}

bool move_file(const char* from, const char* to) {
    return !call_fails(file_call::move_file) && MoveFileA(from, to) != FALSE;
}

bool replace_file(const char* from, const char* to) {
    return !call_fails(file_call::replace_file) && MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool delete_file(const char* path) { return !call_fails(file_call::delete_file) && DeleteFileA(path) != FALSE; }

bool set_file_attributes_normal(const char* path) {
    return !call_fails(file_call::set_file_attributes_normal) &&
           SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool file_exists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool file_size_of(const char* path, std::uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    *size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return true;
}

bool is_read_only(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

create_directory_result create_directory(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return create_directory_result::created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? create_directory_result::already_exists
                                                  : create_directory_result::failed;
}

bool remove_directory(const char* path) { return RemoveDirectoryA(path) != FALSE; }

namespace {

// "D:P(A;OICI;FA;;;<user>)": the current user alone, inherited by all the
// folder will hold. Empty when the user's SID cannot be read.
std::string user_only_sddl() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string result;
    std::string buffer(size, '\0');
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPSTR sid = nullptr;
        if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            result = std::string("D:P(A;OICI;FA;;;") + sid + ")";
            LocalFree(sid);
        }
    }
    CloseHandle(token);
    return result;
}

bool is_reparse_point(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

}  // namespace

bool create_private_directory(const char* path) {
    std::string sddl = user_only_sddl();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sddl.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    BOOL made = CreateDirectoryA(path, &attributes);
    LocalFree(descriptor);
    return made != FALSE;
}

bool remove_tree(const char* path) {
    std::string root(path);
    while (root.size() > 3 && (root.back() == '\\' || root.back() == '/')) root.pop_back();
    DWORD attributes = GetFileAttributesA(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND ||
                                                      GetLastError() == ERROR_PATH_NOT_FOUND;
    SetFileAttributesA(root.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileA(root.c_str()) != FALSE;
    // A junction or folder link goes itself; what it names stays.
    if (!is_reparse_point(attributes)) {
        WIN32_FIND_DATAA native;
        HANDLE find = FindFirstFileA((root + "\\*").c_str(), &native);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = native.cFileName;
                if (name != "." && name != "..") remove_tree((root + "\\" + name).c_str());
            } while (FindNextFileA(find, &native));
            FindClose(find);
        }
    }
    return RemoveDirectoryA(root.c_str()) != FALSE;
}

namespace {
void fill(const WIN32_FIND_DATAA& native, find_data* data) {
    data->name = native.cFileName;
    data->is_directory = (native.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}  // namespace

find_handle find_first_file(const char* pattern, find_data* data) {
    WIN32_FIND_DATAA native;
    HANDLE find = FindFirstFileA(pattern, &native);
    if (find == INVALID_HANDLE_VALUE) return invalid_find;
    fill(native, data);
    return reinterpret_cast<find_handle>(find);
}

bool find_next_file(find_handle find, find_data* data) {
    WIN32_FIND_DATAA native;
    if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &native)) return false;
    fill(native, data);
    return true;
}

void find_close(find_handle find) { FindClose(reinterpret_cast<HANDLE>(find)); }

std::string temp_path() {
    char buffer[2000];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
}

local_time native::system_local_time() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace platform
