// The update package carried as data resources, the work folder it is
// unpacked into, and the cleanup of that folder at the end of a run.
#pragma once

#include <cstdint>
#include <string>

#include "package/status_file.h"
#include "platform/resources.h"

namespace package {

inline constexpr unsigned status_resource = 1000;
inline constexpr unsigned manifest_resource = 1001;
inline constexpr unsigned payload_resource_id = 1002;
inline constexpr const char* manifest_file_name = "temp1.cab";

// The work folder as unpack_package made it: the temporary folder followed
// by "PLUpdate\", ending with a backslash.
extern std::string unpacked_work_folder;
// Resource 1002, located by unpack_package; null until then.
extern platform::resource_handle payload_resource;

// Creates the work folder and writes the status file and the manifest into
// it; locates the payload. 0 on success, 1 on failure.
std::int16_t unpack_package(platform::module_handle module);

// Writes one data resource to `destination`, replacing any file there
// wholly. 0 on success, 1 on failure (a short write included).
std::int16_t unpack_resource(platform::module_handle module, platform::resource_handle resource,
                             const std::string& destination);

// Writes every payload record to its own file "<work folder>temp<k>.cab",
// k from 2, moving the progress counter. 1 on success, 0 on failure, with
// a message box ("Pelora Patch") saying what failed.
std::int32_t split_payload(const std::string& work_folder);

// The record loop of split_payload over payload bytes in memory: one write
// per record straight from `base`. A record cut short by the end of the
// payload writes no file and fails.
std::int32_t write_payload_records(const std::uint8_t* base, std::uint32_t size, const std::string& work_folder);

// Deletes every file of the work folder but the status file (any letter
// case); folders are left alone.
void clean_work_folder();

}  // namespace package
