// The plpack subcommands that live in files of their own, and the file
// helpers they share. Each command returns the tool's exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plpack {

// build OLD NEW OUT [options]: OUT receives the package that turns the
// installation OLD into NEW. argv holds the arguments after "build".
int command_build(int argc, char** argv);
// verify OLD NEW PACKAGE [options]: applies the package to a copy of OLD
// with the updater's own file pass and compares the result with NEW.
// argv holds the arguments after "verify".
int command_verify(int argc, char** argv);
// inspect PACKAGE-or-UPDATER [--json]: what a package folder or a built
// updater carries, as a table or as one JSON object.
int command_inspect(const std::string& path, bool json);
// attach UPDATER PACKAGE OUT: OUT becomes UPDATER carrying the package
// folder PACKAGE instead of its own; says so on standard output unless
// `quiet`.
int command_attach(const std::string& updater, const std::string& package, const std::string& out,
                   bool quiet = false);
// release OLD NEW --build N --updater EXE -o OUT [options]: build,
// verify, attach and sign in one step. argv holds the arguments after
// "release".
int command_release(int argc, char** argv);
// build and verify as steps of release, with the arguments of the
// commands: nothing goes to standard output (no summary; verify's
// findings go into `findings`, when given), messages still go to
// standard error.
int build_step(int argc, char** argv);
int verify_step(int argc, char** argv, std::vector<std::string>* findings);

// compress SRC DST: DST becomes the SZDD file of SRC.
int command_compress(const std::string& source, const std::string& destination);
// diff OLD NEW PATCH: PATCH becomes a patch that turns OLD into NEW.
int command_diff(const std::string& old_path, const std::string& new_path, const std::string& patch_path);

// What reading a whole file gave. A file of 4 GiB or more is never read:
// the package formats and the updater hold sizes in 32 bits.
enum class read_outcome { read, cannot_read, too_large };
read_outcome read_file_quietly(const std::string& path, std::vector<std::uint8_t>* content);
// The sentence that refuses a file of 4 GiB or more, named as `shown`.
std::string too_large_text(const std::string& shown);
// The size of a file as the system gives it to the updater (the low 32
// bits), or 0 when it cannot be opened.
std::uint64_t file_size(const std::string& path);
// The whole content of a file; false (with a message on stderr) when it
// cannot be read or is 4 GiB or more.
bool read_whole_file(const std::string& path, std::vector<std::uint8_t>* content);
// Creates or truncates the file and writes `content`; false (with a
// message on stderr) on failure.
bool write_whole_file(const std::string& path, const std::vector<std::uint8_t>& content);

// Compares two files to their ends, whatever their size.
enum class compare_outcome { same, differ, cannot_read };
compare_outcome compare_files(const std::string& a, const std::string& b);

// Folders, named by Windows paths without a trailing backslash.
struct tree {
    std::vector<std::string> files;    // relative paths, backslash-separated
    std::vector<std::string> folders;  // relative paths of the subfolders
};
bool folder_exists(const std::string& folder);
// Every file and subfolder below `folder`, at any depth, in name order;
// false (with a message on stderr) when a folder cannot be listed.
bool list_tree(const std::string& folder, tree* found);
// Copies `from` with everything below it to `to`, which is created; false
// (with a message on stderr) on failure.
bool copy_tree(const std::string& from, const std::string& to);
// Removes `folder` with everything below it, as far as it can.
void remove_tree(const std::string& folder);
// A new, empty folder under the temporary folder, ending with a backslash.
std::string make_scratch_folder(const char* prefix);

// `text` as a JSON string, quoted; `text` is UTF-8, as names are shown.
std::string json_string(const std::string& text);
// A JSON array of the texts, each as json_string writes it.
std::string json_list(const std::vector<std::string>& texts);

// A path as the user typed it, in the form the platform layer takes, and
// without a trailing backslash.
std::string folder_argument(const char* typed);

// How messages name things: a path as the user types paths on this system
// (host paths on the host), and a name of a package or installation (with
// backslashes) in this system's characters.
std::string shown(const std::string& path);
std::string shown_name(const std::string& name);
// ": " and the system's words for why the last call failed, or nothing.
std::string reason();
// Why `folder` is not a folder that can be listed ("is a file, not a
// folder", "does not exist"); empty when it is one.
std::string folder_problem(const std::string& folder);

}  // namespace plpack
