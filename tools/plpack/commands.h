// The plpack subcommands that live in files of their own, and the file
// helpers they share. Each command returns the tool's exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plpack {

// compress SRC DST: DST becomes the SZDD file of SRC.
int command_compress(const std::string& source, const std::string& destination);
// diff OLD NEW PATCH: PATCH becomes a patch that turns OLD into NEW.
int command_diff(const std::string& old_path, const std::string& new_path, const std::string& patch_path);

// The whole content of a file; false (with a message on stderr) when it
// cannot be read.
bool read_whole_file(const std::string& path, std::vector<std::uint8_t>* content);
// Creates or truncates the file and writes `content`; false (with a
// message on stderr) on failure.
bool write_whole_file(const std::string& path, const std::vector<std::uint8_t>& content);

}  // namespace plpack
