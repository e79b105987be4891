// The package files the updater carries: the manifest (profile text with
// CR LF line ends) and the payload container (each record a u32
// little-endian length and the bytes of one compressed file).
#pragma once

#include <cstdint>
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

// Appends one record holding `content`. Throws std::length_error when the
// payload would reach 4 GiB, which a resource cannot hold.
void append_payload_record(std::vector<std::uint8_t>* payload, std::span<const std::uint8_t> content);

// Why the updater cannot take `destination` as a File<N>Dest, or empty
// when it can: empty, too long, a name it refuses ("..", a drive, a
// leading backslash), characters that Windows file names cannot hold, or
// names that end in a dot or a blank, which Windows drops.
std::string destination_problem(std::string_view destination);

}  // namespace builder
