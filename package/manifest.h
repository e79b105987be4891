// The update manifest: a profile file that names, section by section, what
// the update does to each file.
//
// Entries are numbered from 1 across all sections in processing order;
// each section holds the NumFiles numbers after those of the sections
// before it. An entry is the keys "File<N>Flag", "File<N>Dest" and, except
// for deletions, "File<N>CAB".
#pragma once

#include <string>

namespace package {

// The manifest's name in the work folder.
inline constexpr const char* manifest_file_name = "temp1.cab";

// Capacities, terminator included, of the texts read from the manifest.
inline constexpr int entry_text_capacity = 255;       // File<N>Dest, File<N>CAB
inline constexpr int waiting_message_capacity = 256;  // [General] Message

// Entry flags; any other value means no action.
inline constexpr int flag_patch = 1;    // the compressed file holds a binary patch
inline constexpr int flag_replace = 2;  // the compressed file holds the new file
inline constexpr int flag_delete = 3;   // no compressed file
inline constexpr int flag_replace_alternate = 4;  // handled as flag_replace

// A manifest file and the folder its compressed files lie in. Every read
// sees the file as it is then, with the answers of the per-key profile
// calls; a section is read at once and looked up in memory for as long as
// the file stays unchanged, so that reading every entry costs one reading
// of the file. A missing file reads as one without keys.
struct manifest {
    std::string path;
    // Put before each File<N>CAB: the work folder, ending with a backslash,
    // or empty for the bare names.
    std::string compressed_folder;

    // Entry `number` of `section`: returns its flag (0 when the flag is
    // missing). A flag of 0 leaves destination and compressed_path as they
    // were; otherwise destination receives File<N>Dest (at most 254
    // characters), and unless the flag is flag_delete, compressed_path
    // receives compressed_folder followed by File<N>CAB (at most 254
    // characters of it).
    int read_entry(const char* section, int number, std::string* destination, std::string* compressed_path) const;

    // What a patched or replaced entry's new content must be, from
    // File<N>SHA256 (64 hex digits, stored in lower case) and File<N>Size.
    // none: the manifest has neither key (a package from before they were
    // written); malformed: one is missing or not a valid value.
    enum class content_keys { none, present, malformed };
    content_keys read_new_content(const char* section, int number, std::string* sha256,
                                  unsigned long long* size) const;

    // [section] NumFiles, 0 when missing.
    int section_count(const char* section) const;

    // [General] TotalFiles, -1 when missing.
    int total_entries() const;

    // [General] Message (at most 255 characters), or `fallback` when missing.
    std::string waiting_message(const std::string& fallback) const;
};

}  // namespace package
