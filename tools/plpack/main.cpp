// plpack: the release engineer's tool for update packages.
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "patch/apply_patch.h"
#include "patch/byte_sum.h"
#include "patch/expand.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/manifest_command.h"
#include "tools/plpack/usage.h"

namespace {

constexpr const char* version_text = "plpack 1.1 (update packages for PLUpdate)\n";

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

// Whether `file` names a file; when not, says why, as typed.
bool is_readable_file(const path_arg& file) {
    if (plpack::folder_exists(file.path)) {
        std::fprintf(stderr, "plpack: %s is a folder, not a file\n", file.typed);
        return false;
    }
    if (!platform::file_exists(file.path.c_str())) {
        std::fprintf(stderr, "plpack: cannot read %s%s\n", file.typed, plpack::reason().c_str());
        return false;
    }
    return true;
}

int command_expand(const path_arg& source_arg, const path_arg& destination_arg) {
    const std::string& source = source_arg.path;
    const std::string& destination = destination_arg.path;
    // The engine deletes what it expands; it works on a copy so that SRC stays.
    std::string copy = destination + ".plpack-src";
    if (!is_readable_file(source_arg)) return 1;
    if (!platform::copy_file(source.c_str(), copy.c_str(), false)) {
        std::fprintf(stderr, "plpack: cannot read %s%s\n", source_arg.typed, plpack::reason().c_str());
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
    if (!is_readable_file(old_arg) || !is_readable_file(patch_arg)) return 1;
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
        std::fprintf(stderr, "plpack: cannot write %s%s\n", output_arg.typed, plpack::reason().c_str());
        return 1;
    }
    return 0;
}

int command_bytesum(const path_arg& file) {
    std::uint32_t sum = 0;
    if (!is_readable_file(file)) return 1;
    if (!patch::file_byte_sum(file.path.c_str(), &sum)) {
        std::fprintf(stderr, "plpack: cannot read %s%s\n", file.typed, plpack::reason().c_str());
        return 1;
    }
    std::printf("%08x\n", sum);
    return 0;
}

// The commands with a fixed number of paths, each as the user typed it and
// in the form the platform layer takes.
int run_expand(std::span<const path_arg> a) { return command_expand(a[0], a[1]); }
int run_apply(std::span<const path_arg> a) { return command_apply(a[0], a[1], a[2]); }
int run_bytesum(std::span<const path_arg> a) { return command_bytesum(a[0]); }
int run_manifest(std::span<const path_arg> a) { return plpack::command_manifest(a[0].path); }
int run_compress(std::span<const path_arg> a) { return plpack::command_compress(a[0].path, a[1].path); }
int run_diff(std::span<const path_arg> a) { return plpack::command_diff(a[0].path, a[1].path, a[2].path); }
int run_inspect(int argc, char** argv) {
    bool json = false;
    std::vector<const char*> paths;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") json = true;
        else if (a.size() > 1 && a[0] == '-') return plpack::usage_error("inspect", "unknown option " + a);
        else paths.push_back(argv[i]);
    }
    if (paths.size() != 1)
        return plpack::usage_error("inspect", "inspect takes 1 argument (PACKAGE-or-UPDATER), not " +
                                                  std::to_string(paths.size()));
    return plpack::command_inspect(platform::path_from_command_line(paths[0]), json);
}
int run_attach(std::span<const path_arg> a) { return plpack::command_attach(a[0].path, a[1].path, a[2].path); }

// One row per command: what help prints and what runs it. A command with
// options parses its own arguments (`parse_own`); the others take exactly
// `paths` paths.
struct command {
    const char* name;
    const char* arguments;
    const char* summary;
    const char* details;
    const char* example;
    int paths;
    int (*run_paths)(std::span<const path_arg>);
    int (*parse_own)(int argc, char** argv);
};

const command commands[] = {
    {"build",
     "OLD NEW OUT [--build N] [--status TEMPLATE] [--dict-old DIR --dict-new DIR] [--jobs N] [--code-page N] "
     "[--quiet] [--json]",
     "make the package (status.ini, manifest.ini, payload.bin) that turns the installation OLD into NEW",
     "  --build N          the build number the package installs (required unless the status\n"
     "                     template has [Build] version)\n"
     "  --status TEMPLATE  the status file to start from (its [Params], [VerifyURL], ...)\n"
     "  --dict-old DIR, --dict-new DIR\n"
     "                     the dictionary folders before and after, for the Dict section\n"
     "  --jobs N           files packed at once, 1 to 256 (default: one per processor)\n"
     "  --code-page N      the Windows ANSI code page of the systems the updater will run on,\n"
     "                     which the manifest's names are written in: 1250, 1251 or 1252\n"
     "                     (default 1252); a name it cannot spell is refused\n"
     "  --quiet            print nothing but errors: no progress, warnings or summary\n"
     "  --json             print the summary as one JSON object on standard output\n"
     "OUT is written as a new folder beside it and renamed into place when complete; an OUT\n"
     "that exists must be an earlier package, which is replaced whole. OUT may not lie inside\n"
     "OLD or NEW, and NEW must hold Pelora9.exe when OLD does. Host build only.",
     "plpack build old new pkg --build 910", 0, nullptr, plpack::command_build},
    {"verify", "OLD NEW PACKAGE [--dict-old DIR --dict-new DIR] [--code-page N] [--quiet] [--json]",
     "apply PACKAGE to a copy of OLD with the updater's own file pass; succeed when that gives NEW",
     "  --dict-old DIR, --dict-new DIR\n"
     "                     the dictionary folders, needed when the package changes dictionaries\n"
     "  --code-page N      the code page the package's names are written in (default 1252);\n"
     "                     on Windows it must be the system's own\n"
     "  --quiet            print only the findings and errors, not the success line\n"
     "  --json             print the outcome and the findings as one JSON object\n"
     "Every file is compared whole; each entry that fails and each file that differs, is\n"
     "missing or is unexpected is named.",
     "plpack verify old new pkg", 0, nullptr, plpack::command_verify},
    {"inspect", "PACKAGE-or-UPDATER [--json]", "what a package folder or a built updater (Windows or host) carries",
     "Shows the build the package installs, every entry with its flag, compressed file and sizes,\n"
     "and fails when the manifest and the payload disagree.",
     "plpack inspect pkg", 1, nullptr, run_inspect},
    {"release",
     "OLD NEW --build N --updater EXE -o OUT [--dict-old DIR --dict-new DIR] [--code-page N] "
     "[--sign-cert CERT [--sign-key KEY] [--timestamp URL]] [--quiet] [--json]",
     "build, verify, attach and sign in one step; OUT appears only when every step succeeds",
     "  --build N          the build number the package installs\n"
     "  --updater EXE      the released Windows updater (PLUpdate.exe) to carry the package\n"
     "  -o OUT             the updater to write\n"
     "  --dict-old DIR, --dict-new DIR\n"
     "                     the dictionary folders before and after, for the Dict section\n"
     "  --code-page N      the code page of the manifest's names: 1250, 1251 or 1252 (default 1252)\n"
     "  --sign-cert CERT   sign OUT with osslsigncode (SHA-256): a PEM certificate with\n"
     "                     --sign-key, or alone a PKCS#12 file\n"
     "  --sign-key KEY     the certificate's private key\n"
     "  --timestamp URL    the timestamp server for the signature\n"
     "  --quiet            print nothing but errors and verify's findings: no progress,\n"
     "                     warnings or summary\n"
     "  --json             print the outcome as one JSON object on standard output\n"
     "The package is built in a scratch folder and verified against NEW, as build and verify\n"
     "do, then attached to a copy of EXE. Without --sign-cert OUT is left unsigned. Host build\n"
     "only.",
     "plpack release old new --build 910 --updater PLUpdate.exe -o PLUpdate-910.exe", 0, nullptr,
     plpack::command_release},
    {"attach", "UPDATER PACKAGE OUT", "OUT becomes a copy of the Windows updater UPDATER carrying the package folder PACKAGE",
     nullptr, "plpack attach PLUpdate.exe pkg PLUpdate-910.exe", 3, run_attach, nullptr},
    {"manifest", "FILE", "a manifest's entries in the order the updater applies them, and its inconsistencies",
     nullptr, "plpack manifest pkg/manifest.ini", 1, run_manifest, nullptr},
    {"expand", "SRC DST", "expand an SZDD-compressed file into DST (SRC stays)", nullptr,
     "plpack expand PLCore.dl_ PLCore.dll", 2, run_expand, nullptr},
    {"compress", "SRC DST", "SZDD-compress SRC into DST", nullptr, "plpack compress PLCore.dll PLCore.dl_", 2,
     run_compress, nullptr},
    {"diff", "OLD NEW PATCH", "make the binary patch that turns OLD into NEW (host build only)", nullptr,
     "plpack diff old/PLCore.dll new/PLCore.dll PLCore.patch", 3, run_diff, nullptr},
    {"apply", "OLD PATCH OUT", "apply a binary patch; OUT is written only when the patch's checksum verifies it",
     nullptr, "plpack apply old/PLCore.dll PLCore.patch PLCore.dll", 3, run_apply, nullptr},
    {"bytesum", "FILE", "the byte sum the updater identifies builds by, as 8 hex digits", nullptr,
     "plpack bytesum old/Pelora9.exe", 1, run_bytesum, nullptr},
};

constexpr const char* exit_codes_text = "Exit status: 0 done, 1 failed, 2 usage error.\n";

const command* find_command(const std::string& name) {
    for (const command& c : commands)
        if (name == c.name) return &c;
    return nullptr;
}

bool is_help(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

void print_usage(std::FILE* to) {
    std::fputs("usage: plpack COMMAND ARGUMENTS...\n\n", to);
    for (const command& c : commands) std::fprintf(to, "  %-9s %s\n", c.name, c.summary);
    std::fputs("\n  plpack help COMMAND, plpack COMMAND --help: a command's arguments and an example\n"
               "  plpack --version: the version\n\n",
               to);
    std::fputs("Example: plpack build old new pkg --build 910 && plpack verify old new pkg\n", to);
    std::fputs(exit_codes_text, to);
}

void print_command_help(const command& c) {
    std::string summary = c.summary;
    if (summary[0] >= 'a' && summary[0] <= 'z') summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
    std::printf("usage: plpack %s %s\n\n%s.\n", c.name, c.arguments, summary.c_str());
    if (c.details) std::printf("\n%s\n", c.details);
    std::printf("\nExample: %s\n%s", c.example, exit_codes_text);
}

int run_command(const command& c, int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (is_help(argv[i])) {
            print_command_help(c);
            return 0;
        }
    if (c.parse_own) return c.parse_own(argc, argv);
    for (int i = 0; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return plpack::usage_error(c.name, std::string("unknown option ") + argv[i]);
    if (argc != c.paths)
        return plpack::usage_error(c.name, std::string(c.name) + " takes " + std::to_string(c.paths) + " argument" +
                                               (c.paths == 1 ? "" : "s") + " (" + c.arguments + "), not " +
                                               std::to_string(argc));
    std::vector<path_arg> paths;
    for (int i = 0; i < argc; ++i) paths.push_back({argv[i], platform::path_from_command_line(argv[i])});
    return c.run_paths(paths);
}

}  // namespace

namespace plpack {

int usage_error(const char* command_name, const std::string& problem) {
    std::fprintf(stderr, "plpack: %s\n", problem.c_str());
    const command* c = command_name ? find_command(command_name) : nullptr;
    if (c) {
        std::fprintf(stderr, "usage: plpack %s %s\nRun 'plpack %s --help' for more.\n", c->name, c->arguments,
                     c->name);
    } else {
        std::fputs("Run 'plpack --help' for the commands.\n", stderr);
    }
    return 2;
}

}  // namespace plpack

int main(int argc, char** argv) {
    platform::set_message_box_handler(print_message);
    if (argc < 2) {
        std::fputs("plpack: no command given\n", stderr);
        print_usage(stderr);
        return 2;
    }
    std::string first = argv[1];
    if (is_help(argv[1]) || first == "help") {
        if (argc == 2) {
            print_usage(stdout);
            return 0;
        }
        const command* c = find_command(argv[2]);
        if (!c) return plpack::usage_error(nullptr, "no command named '" + std::string(argv[2]) + "'");
        if (argc > 3) return plpack::usage_error(nullptr, "help takes one command name");
        print_command_help(*c);
        return 0;
    }
    if (first == "--version") {
        if (argc > 2) return plpack::usage_error(nullptr, "--version takes no arguments");
        std::fputs(version_text, stdout);
        return 0;
    }
    const command* c = find_command(first);
    if (!c) {
        if (first[0] == '-') return plpack::usage_error(nullptr, "unknown option " + first);
        return plpack::usage_error(nullptr, "no command named '" + first + "'");
    }
    return run_command(*c, argc - 2, argv + 2);
}
