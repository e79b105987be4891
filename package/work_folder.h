// The update package carried as data resources, the work folder it is
// unpacked into, and the cleanup of that folder at the end of a run.
//
// Errors in package/: each operation returns what happened (a bool, an
// optional or an enum class named for the outcome) and shows nothing; the
// run decides what to tell the user.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "package/manifest.h"
#include "package/status_file.h"
#include "platform/resources.h"

namespace package {

inline constexpr unsigned status_resource = 1000;
inline constexpr unsigned manifest_resource = 1001;
inline constexpr unsigned payload_resource = 1002;

// What unpack_package made: the work folder (the temporary folder followed
// by "PLUpdate\", ending with a backslash) holding the status file and the
// manifest, and the payload resource it located (null when there is none).
struct unpacked_package {
    std::string work_folder;
    platform::resource_handle payload = nullptr;
};

enum class unpack_failure {
    work_folder_not_ours,  // the work folder could not be made anew, private
    resource_missing,      // the status file or the manifest could not be written
};

// Removes whatever has the work folder's name (`work_folder` ends with a
// backslash), links and read-only files included, never following a link,
// and creates it anew, private to the user. False when it cannot.
bool make_work_folder(const std::string& work_folder);

// Makes the work folder anew and writes the status file and the manifest
// into it; locates the payload. Nothing when the work folder's path is too
// long, the folder cannot be made, or either file cannot be written; `why`,
// when given, receives which.
std::optional<unpacked_package> unpack_package(platform::module_handle module, unpack_failure* why = nullptr);

// Writes one data resource to `destination`, replacing any file there
// wholly. False on failure, a short write included.
bool unpack_resource(platform::module_handle module, platform::resource_handle resource,
                     const std::string& destination);

enum class split_result {
    written,          // every record is in its file
    no_payload,       // the payload resource was not found
    cannot_load,      // the payload resource cannot be loaded
    cut_short,        // the payload ends inside a record, which is not written
    cannot_create,    // a record's file cannot be created
    write_failed,     // a record's file could not be written whole
};

// Called after each record's file is written, in record order, on the
// caller's thread.
using record_written = std::function<void()>;

// Writes every payload record to its own new file "<work folder>temp<k>.cab",
// k from 2, stopping at the first failure in record order; a name already
// taken (by a file, a folder or a link) is a failure to create. Records
// are written 128 at a time on a few threads, so a few records after the
// one that failed may have been written too (the work folder is made
// afresh by the next run).
split_result split_payload(platform::module_handle module, platform::resource_handle payload,
                           const std::string& work_folder, const record_written& on_record);

// The record loop of split_payload over payload bytes in memory: one write
// per record straight from `base`. A record cut short by the end of the
// payload writes no file.
split_result write_payload_records(const std::uint8_t* base, std::uint32_t size, const std::string& work_folder,
                                   const record_written& on_record);

// Deletes every file of the work folder `folder` (ending with a backslash)
// but the status file (any letter case); folders are left alone.
void clean_work_folder(const std::string& folder);

}  // namespace package
