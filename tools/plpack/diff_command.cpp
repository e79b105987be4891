#include <cstdio>
#include <utility>

#include "tools/plpack/commands.h"
#if PLUPDATE_HAVE_DIFF
#include "builder/diff.h"
#endif

namespace plpack {

int command_diff(const std::string& old_path, const std::string& new_path, const std::string& patch_path) {
#if PLUPDATE_HAVE_DIFF
    // The old file's suffixes are sorted before the new file is read: the
    // sort's working space and the new file are never in memory together.
    std::vector<std::uint8_t> old_content, new_content;
    if (!read_whole_file(old_path, &old_content)) return 1;
    builder::suffix_index index = builder::sort_suffixes(old_content);
    if (!read_whole_file(new_path, &new_content)) return 1;
    return write_whole_file(patch_path, builder::make_patch(std::move(index), old_content, new_content)) ? 0 : 1;
#else
    (void)old_path;
    (void)new_path;
    (void)patch_path;
    std::fputs("plpack: diff is part of the host build only\n", stderr);
    return 1;
#endif
}

}  // namespace plpack
