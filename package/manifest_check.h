// The manifest checked as a whole, before the run touches anything: the
// counts agree with one another and with what the payload holds, and every
// entry is one the file pass can apply.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "package/manifest.h"

namespace package {

// The most entries a manifest counts (the progress counter is 16 bits).
inline constexpr int most_entries = 32766;

// What the split wrote: the files temp2.cab .. temp<records + 1>.cab.
// any_records accepts every name of that form, for a manifest read without
// its payload.
inline constexpr int any_records = -1;

// Every finding about `m`, whose sections are `sections` in processing
// order, and whose payload was split into `records` files (or any_records).
// Empty when the manifest holds together. Each finding is a short phrase
// a user can pass on, such as "[Core] entry 3 has flag 7, not one of 1 to 4".
// Counts are checked before any entry is read, so a manifest costs at most
// most_entries entry reads.
std::vector<std::string> check_manifest(const manifest& m, std::span<const char* const> sections, int records);

// The message a damaged package shows: "The update package is damaged: "
// followed by the first finding.
std::string damaged_package_text(const std::string& finding);

}  // namespace package
