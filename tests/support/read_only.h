// Marks a file read-only (the read-only attribute on Windows, no write
// permission on the host), as an installer or a user may have left it.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#ifndef _WIN32
#include "platform/host/host_path.h"
#endif

namespace testing_support {

// The file a Windows path names, as the standard library reaches it.
inline std::filesystem::path native_path(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(platform::host::to_host(path.c_str()));
#endif
}

inline bool make_read_only(const std::string& path) {
    std::filesystem::path native = native_path(path);
    std::error_code error;
    std::filesystem::permissions(native,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove, error);
    return !error;
}

// Whether a file is read-only in the sense of make_read_only.
inline bool is_read_only(const std::string& path) {
    std::filesystem::path native = native_path(path);
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(native, error);
    return !error && (status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
}

}  // namespace testing_support
