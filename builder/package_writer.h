// The manifest of the package the updater carries (profile text with CR LF
// line ends), and the names it may hold; the payload's records are written
// with formats/payload.h.
//
// Errors in builder/: what the package formats cannot hold throws
// std::length_error, saying what; a name the updater cannot take gets a
// *_problem answer saying why, and nothing when it can.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "install/layout.h"

namespace builder {

// The most entries a manifest may hold: the updater keeps the entry
// counter and TotalFiles in signed 16 bits, and the counter ends one past
// the last entry.
inline constexpr int max_manifest_entries = 32766;
// The longest File<N>Dest the updater reads whole.
inline constexpr std::size_t max_destination_length = 254;

struct manifest_entry {
    install::section section;
    int flag;                 // package::flag_patch, flag_replace or flag_delete
    std::string destination;  // relative to the section folder
    // The new content's SHA-256 (hex) and size, written as File<N>SHA256
    // and File<N>Size for patches and replacements; none when empty.
    std::string sha256 = {};
    std::uint64_t size = 0;
};

// The manifest of `entries`, which are taken section by section in
// processing order and, within a section, in the order given. Entry
// numbers run from 1 across the sections; every entry but a deletion names
// the next compressed file, temp2.cab upward. Every section is written,
// with NumFiles 0 when it has no entries, and [General] TotalFiles last.
std::string manifest_text(const std::vector<manifest_entry>& entries);

// The order in which manifest_text numbers `entries`: their indexes,
// section by section, keeping the given order within a section.
std::vector<std::size_t> manifest_order(const std::vector<manifest_entry>& entries);

// Why the updater cannot take `destination` as a File<N>Dest, or nothing
// when it can: empty, too long, a name it refuses ("..", a drive, a
// leading backslash), characters that Windows file names cannot hold, or
// names that end in a dot or a blank, which Windows drops.
std::optional<std::string> destination_problem(std::string_view destination);

}  // namespace builder
