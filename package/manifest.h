// The update manifest: a profile file in the work folder (run::manifest_path)
// that names, section by section, what the update does to each file.
//
// Entries are numbered from 1 across all sections in processing order;
// each section holds the NumFiles numbers after those of the sections
// before it. An entry is the keys "File<N>Flag", "File<N>Dest" and, except
// for deletions, "File<N>CAB".
#pragma once

#include <string>

namespace package {

inline constexpr int manifest_section_count = 12;
// The install-folder sections in processing order.
extern const char* const manifest_sections[manifest_section_count];

// Capacities, terminator included, of the texts read from the manifest.
inline constexpr int entry_text_capacity = 255;       // File<N>Dest, File<N>CAB
inline constexpr int waiting_message_capacity = 256;  // [General] Message

// Entry flags; any other value means no action.
inline constexpr int flag_patch = 1;    // the compressed file holds a binary patch
inline constexpr int flag_replace = 2;  // the compressed file holds the new file
inline constexpr int flag_delete = 3;   // no compressed file
inline constexpr int flag_replace_alternate = 4;  // handled as flag_replace

// Reads entry `number` of `section` and returns its flag (0 when the flag
// is missing). A flag of 0 leaves destination and compressed_path as they
// were; otherwise destination receives File<N>Dest (at most 254
// characters), and unless the flag is flag_delete, compressed_path
// receives the work folder path followed by File<N>CAB (at most 254
// characters of it).
int read_entry(const char* section, int number, std::string* destination, std::string* compressed_path);

// [section] NumFiles, 0 when missing.
int section_count(const char* section);

// [General] TotalFiles, -1 when missing.
int total_entries();

// [General] Message (at most 255 characters), or the string table's
// waiting text when missing.
std::string waiting_message();

}  // namespace package
