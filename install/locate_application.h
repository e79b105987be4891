// Finding the installed application through its registered open command
// (or an open-file dialog) and accepting only the builds this package can
// update, recognised by the byte sum of their executable.
//
// Errors in install/: a lookup returns false, or an empty optional, when
// it found nothing; only locate_application tells the user why, since the
// message names what it could not find.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace install {

// Capacity of an open command or a path taken from one, terminator included.
inline constexpr std::uint32_t command_capacity = 1024;
// Capacity of the open-file dialog's file name.
inline constexpr std::size_t dialog_path_capacity = 2000;

inline constexpr const char* application_exe = "Pelora9.exe";
inline constexpr const char* error_caption = "Pelora Error";

// HKEY_CLASSES_ROOT subkeys whose default value is the open command, in
// the order they are tried.
using key_list = std::array<const char*, 3>;
inline constexpr key_list locate_keys = {
    "Applications\\pelora9.exe\\shell\\open\\command",
    ".PLV\\shell\\open\\command",
    "Pelora.Drawing.9\\shell\\open\\command",
};

// Byte sums of the executables of the builds this package updates, in the
// order they are compared. The last five slots belong to no build.
inline constexpr std::array<std::uint32_t, 16> accepted_image_sums = {
    0xf943af14, 0xf9414f95, 0xf9422b19, 0xf9b543c2, 0xf9e72c44, 0xf95827bc, 0xf99b1204, 0xfdfd2fa8,
    0xf9b53db8, 0xf97932c4, 0xf9795790, 0x000000ff, 0x000000ff, 0x000000ff, 0x000000ff, 0x000000ff,
};

// Reads value `value_name` ("" for the default value) of `subkey` into
// buffer. *length is the buffer's size on entry; a value larger than that
// counts as absent. True when found, *length then holding the bytes
// stored; false when not found, the buffer and *length then left as they
// were (the buffer's contents are not to be used).
bool read_registry_value(platform::registry_root root, const char* subkey, const char* value_name, char* buffer,
                        std::uint32_t* length);

// Registry data read by read_registry_value as a text: up to its first NUL,
// or all `length` bytes when it has none.
std::string registry_text(const char* data, std::uint32_t length);

// The first open command found under `keys`, else the folder of a file the
// user picks in the open-file dialog followed by "Pelora9.exe". False when
// nothing is registered and the dialog is cancelled (or its path does not
// fit the command's capacity).
bool look_up_application(const key_list& keys, std::string* text);

// Cuts `text` right after its last backslash, which stays. False, and the
// text unchanged, when there is no backslash.
bool cut_after_last_backslash(std::string* text);

// The folder an open command names: without one leading double quote, cut
// after the last backslash. False when the command has no backslash.
bool folder_of_command(const std::string& command, std::string* folder);

// True when the installed executable is found and is an accepted build;
// false otherwise, after a message box that says why: the one place in
// install/ that tells the user anything.
bool locate_application();

}  // namespace install
