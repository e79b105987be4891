// Rebuilds the new version of a file from its old version and a binary
// patch (the instruction body followed by the u32 byte sum of the new file).
//
// Errors in patch/: each operation returns an enum class named for what
// happened and shows or logs nothing; the caller tells the user.
#pragma once

#include <cstdint>
#include <span>

#include "patch/file_record.h"
#include "platform/digest.h"

namespace patch {

enum class patch_result {
    verified,           // the output is closed and holds the new file
    failed,             // an input could not be read, the body is malformed,
                        // or the output could not be written
    checksum_mismatch,  // the output was written but its byte sum is not the patch's
};

// Writes the new version to `output` and checks its byte sum against the
// patch's. The old file is never touched; a partial or mismatching output
// stays on disk. When `digest` is given, the output as read back for its
// byte sum is added to it too.
patch_result apply_patch(file_record* patch, file_record* old_file, file_record* output,
                         platform::digest_stream* digest = nullptr);

// The same with the whole patch (body and byte sum) in memory.
patch_result apply_patch(std::span<const std::uint8_t> patch, file_record* old_file, file_record* output,
                         platform::digest_stream* digest = nullptr);

}  // namespace patch
