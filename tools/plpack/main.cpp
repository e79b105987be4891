// plpack: the release engineer's tool for update packages.
#include <cstdio>
#include <cstring>
#include <string>

#include "patch/apply_patch.h"
#include "patch/byte_sum.h"
#include "patch/expand.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "tools/plpack/manifest_command.h"
#include "tools/plpack/commands.h"

namespace {

constexpr const char* usage_text =
    "usage: plpack expand SRC DST\n"
    "       plpack apply OLD PATCH OUT\n"
    "       plpack bytesum FILE\n"
    "       plpack manifest FILE\n"
    "       plpack compress SRC DST\n"
    "       plpack diff OLD NEW PATCH\n"
    "       plpack build OLD NEW OUT [--build N] [--status TEMPLATE] [--dict-old DIR --dict-new DIR]\n"
    "                    [--jobs N]\n"
    "       plpack verify OLD NEW PACKAGE [--dict-old DIR --dict-new DIR]\n"
    "       plpack inspect PACKAGE-or-UPDATER\n"
    "       plpack attach UPDATER PACKAGE OUT\n"
    "       plpack release OLD NEW --updater EXE -o OUT [--sign-cert C [--sign-key K]]\n"
    "       plpack --help\n";

int usage_error() {
    std::fputs(usage_text, stderr);
    return 2;
}

// The updater's file pass that verify runs tells its failures in message
// boxes; a console tool prints them.
platform::box_answer print_message(const char* text, const char* caption, platform::box_buttons buttons) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return buttons == platform::box_buttons::ok ? platform::box_answer::ok : platform::box_answer::no;
}

const char* expand_failure(patch::expand_result result) {
    switch (result) {
    case patch::expand_result::ok: return "no failure";
    case patch::expand_result::cannot_open_source: return "the compressed file cannot be opened";
    case patch::expand_result::bad_data:
        return "the file is not SZDD mode 'A' or its data ends before its expanded length";
    case patch::expand_result::write_failed: return "writing the expanded file failed";
    case patch::expand_result::no_memory: return "out of memory";
    case patch::expand_result::cannot_open_destination: return "the destination cannot be opened for writing";
    }
    return "unknown failure";
}

const char* patch_failure(patch::patch_result result) {
    switch (result) {
    case patch::patch_result::verified: return "no failure";
    case patch::patch_result::failed:
        return "an input cannot be read, the patch is malformed, or the output cannot be written";
    case patch::patch_result::checksum_mismatch: return "checksum error: the output's byte sum is not the patch's";
    }
    return "unknown failure";
}

// Paths reach the engine in the form it works with; messages name them as
// the user typed them.
struct path_arg {
    const char* typed;
    std::string path;
};

int command_expand(const path_arg& source_arg, const path_arg& destination_arg) {
    const std::string& source = source_arg.path;
    const std::string& destination = destination_arg.path;
    // The engine deletes what it expands; it works on a copy so that SRC stays.
    std::string copy = destination + ".plpack-src";
    if (!platform::copy_file(source.c_str(), copy.c_str(), false)) {
        std::fprintf(stderr, "plpack: cannot read %s\n", source_arg.typed);
        return 1;
    }
    patch::expand_result result = patch::expand(copy.c_str(), destination.c_str());
    platform::delete_file(copy.c_str());
    if (result != patch::expand_result::ok) {
        std::fprintf(stderr, "plpack: cannot expand %s: %s (result %d)\n", source_arg.typed, expand_failure(result),
                     static_cast<int>(result));
        return 1;
    }
    return 0;
}

// The new file is written beside OUT and takes its name only once the
// patch's checksum has verified it: an unverified output never stays.
int command_apply(const path_arg& old_arg, const path_arg& patch_arg, const path_arg& output_arg) {
    std::string temporary = output_arg.path + ".plpack-tmp";
    patch::file_record patch_file{patch_arg.path}, old_file{old_arg.path}, output{temporary};
    patch::patch_result result = patch::apply_patch(&patch_file, &old_file, &output);
    if (result != patch::patch_result::verified) {
        platform::delete_file(temporary.c_str());
        std::fprintf(stderr, "plpack: applying %s to %s failed: %s; %s was not written\n", patch_arg.typed,
                     old_arg.typed, patch_failure(result), output_arg.typed);
        return 1;
    }
    if (!platform::replace_file(temporary.c_str(), output_arg.path.c_str())) {
        platform::delete_file(temporary.c_str());
        std::fprintf(stderr, "plpack: cannot write %s\n", output_arg.typed);
        return 1;
    }
    return 0;
}

int command_bytesum(const path_arg& file) {
    std::uint32_t sum = 0;
    if (!patch::file_byte_sum(file.path.c_str(), &sum)) {
        std::fprintf(stderr, "plpack: cannot read %s\n", file.typed);
        return 1;
    }
    std::printf("%08x\n", sum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::set_message_box_handler(print_message);
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (argc < 2) return usage_error();
    std::string command = argv[1];
    auto arg = [&](int i) { return path_arg{argv[i], platform::path_from_command_line(argv[i])}; };
    if (command == "expand" && argc == 4) return command_expand(arg(2), arg(3));
    if (command == "apply" && argc == 5) return command_apply(arg(2), arg(3), arg(4));
    if (command == "bytesum" && argc == 3) return command_bytesum(arg(2));
    if (command == "manifest" && argc == 3) return plpack::command_manifest(arg(2).path);
    if (command == "compress" && argc == 4) return plpack::command_compress(arg(2).path, arg(3).path);
    if (command == "diff" && argc == 5) return plpack::command_diff(arg(2).path, arg(3).path, arg(4).path);
    if (command == "build") return plpack::command_build(argc - 2, argv + 2);
    if (command == "verify") return plpack::command_verify(argc - 2, argv + 2);
    if (command == "inspect" && argc == 3) return plpack::command_inspect(arg(2).path);
    if (command == "release") return plpack::command_release(argc - 2, argv + 2);
    if (command == "attach" && argc == 5) return plpack::command_attach(arg(2).path, arg(3).path, arg(4).path);
    return usage_error();
}
