// Profile (INI) files: GetPrivateProfileIntA, GetPrivateProfileStringA and
// WritePrivateProfileStringA. Every call names the file by its full path.
//
// A file is 8-bit text: "[Section]" lines open sections, "Key=Value" lines
// hold values. Section and key names match without regard to ASCII letter
// case; blanks around names and values are ignored; a value in matching
// quotes ("..." or '...') is read without them. Where a name occurs twice,
// the first section or key of that name counts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

// The value as a number: leading blanks, an optional sign, then decimal
// digits up to the first other character (a "0x", "0o" or "0b" prefix
// selects another base). Missing file, section or key, or an empty value,
// give `default_value`.
std::uint32_t read_profile_int(const char* section, const char* key, int default_value, const char* file);

// Copies the value, or `default_value` when the key is missing (trailing
// spaces of the default dropped), into buffer, cut to capacity - 1
// characters and zero-terminated. Returns the number of characters copied.
int read_profile_string(const char* section, const char* key, const char* default_value, char* buffer,
                        int capacity, const char* file);

// Afterwards the key holds value (leading blanks dropped): an existing
// value is replaced, a missing key is added at the end of its section, a
// missing section at the end of the file, and a missing file is created.
// False when the file cannot be written.
bool write_profile_string(const char* section, const char* key, const char* value, const char* file);

// The names of the keys of a section that carry a value ("Name=..."), in
// file order; lines starting with ';' are left out. Empty when the file or
// section is missing.
std::vector<std::string> read_profile_keys(const char* section, const char* file);

// A section read at once, to look many of its keys up in memory with the
// same answers as the calls above give key by key.
struct profile_section {
    // Each key name in ASCII lower case, with the value of its first line:
    // the text after "=" without the blanks around it, quotes kept; no
    // value for a line without "=".
    std::unordered_map<std::string, std::optional<std::string>> keys;
};

// The first section named `section` of `file` (a name without blanks
// around it); empty when the file or section is missing. The section is
// read again only when the file has changed since it was last read (its
// size or time of last change) or was written by write_profile_string:
// many reads of an unchanged file cost one reading of it.
std::shared_ptr<const profile_section> read_profile_section(const char* section, const char* file);

// What read_profile_string and read_profile_int give for `key` of that
// section. Names match without regard to ASCII letter case only, and a key
// name starting with ';' is never found (such lines are comments).
int section_string(const profile_section& section, const char* key, const char* default_value, char* buffer,
                   int capacity);
std::uint32_t section_int(const profile_section& section, const char* key, int default_value);

}  // namespace platform
