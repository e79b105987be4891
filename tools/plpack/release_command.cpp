// plpack release OLD NEW --updater PLUpdate.exe -o OUT.exe [--build N]
// [--dict-old DIR --dict-new DIR] [--sign-cert C [--sign-key K]
// [--timestamp URL]]: builds the package, verifies it, attaches it to the
// released updater and signs the result. OUT appears only when every step
// succeeded.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "install/layout.h"
#include "package/manifest.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tools/plpack/commands.h"

namespace plpack {

namespace {

struct options {
    std::vector<std::string> pass_on;  // OLD NEW and the options build and verify share
    std::string updater, out, sign_cert, sign_key, timestamp, build;
};

int usage() {
    std::fputs("usage: plpack release OLD NEW --updater PLUpdate.exe -o OUT.exe [--build N]"
               " [--dict-old DIR --dict-new DIR] [--sign-cert CERT [--sign-key KEY] [--timestamp URL]]\n",
               stderr);
    return 1;
}

bool parse(int argc, char** argv, options* o) {
    int positional = 0;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if ((a == "--dict-old" || a == "--dict-new") && has_value) {
            o->pass_on.push_back(a);
            o->pass_on.push_back(argv[++i]);
        } else if (a == "--build" && has_value) {
            o->build = argv[++i];
        } else if (a == "--updater" && has_value) {
            o->updater = argv[++i];
        } else if (a == "-o" && has_value) {
            o->out = argv[++i];
        } else if (a == "--sign-cert" && has_value) {
            o->sign_cert = argv[++i];
        } else if (a == "--sign-key" && has_value) {
            o->sign_key = argv[++i];
        } else if (a == "--timestamp" && has_value) {
            o->timestamp = argv[++i];
        } else if (a.rfind("-", 0) != 0 && positional < 2) {
            o->pass_on.insert(o->pass_on.begin() + positional++, a);
        } else {
            return false;
        }
    }
    bool sign_parts_alone = o->sign_cert.empty() && (!o->sign_key.empty() || !o->timestamp.empty());
    return positional == 2 && !o->updater.empty() && !o->out.empty() && !sign_parts_alone;
}

// Runs `command` with its arguments pointed to by argv.
int run(int (*command)(int, char**), std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    return command(static_cast<int>(argv.size()), argv.data());
}

std::string quoted(const std::string& text) {
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
#endif
}

// Signs `in` into `out` (paths as typed) with osslsigncode, SHA-256. A
// certificate without a key is a PKCS#12 file.
bool sign(const options& o, const std::string& in, const std::string& out) {
    std::string command = "osslsigncode sign -h sha256 ";
    if (o.sign_key.empty())
        command += "-pkcs12 " + quoted(o.sign_cert);
    else
        command += "-certs " + quoted(o.sign_cert) + " -key " + quoted(o.sign_key);
    if (!o.timestamp.empty()) command += " -ts " + quoted(o.timestamp);
    command += " -in " + quoted(in) + " -out " + quoted(out);
    std::fflush(stdout);
    return std::system(command.c_str()) == 0;
}

}  // namespace

int command_release(int argc, char** argv) {
    options o;
    if (!parse(argc, argv, &o)) return usage();
    std::string scratch = make_scratch_folder("plpack-release");
    if (scratch.empty()) {
        std::fputs("plpack: cannot create a scratch folder in the temporary folder\n", stderr);
        return 1;
    }
    std::string package = scratch + "package";
    std::string out = platform::path_from_command_line(o.out.c_str());
    std::string unsigned_typed = o.out + ".unsigned.tmp", signed_typed = o.out + ".signed.tmp";
    std::string unsigned_out = platform::path_from_command_line(unsigned_typed.c_str());
    std::string signed_out = platform::path_from_command_line(signed_typed.c_str());
    auto give_up = [&](const char* step) {
        platform::delete_file(unsigned_out.c_str());
        platform::delete_file(signed_out.c_str());
        remove_tree(scratch.substr(0, scratch.size() - 1));
        std::fprintf(stderr, "plpack: release stopped at the %s step; %s was not written\n", step, o.out.c_str());
        return 1;
    };

    std::vector<std::string> build_arguments = {o.pass_on[0], o.pass_on[1], package};
    build_arguments.insert(build_arguments.end(), o.pass_on.begin() + 2, o.pass_on.end());
    if (!o.build.empty()) {
        build_arguments.push_back("--build");
        build_arguments.push_back(o.build);
    }
    if (run(command_build, build_arguments) != 0) return give_up("build");
    std::vector<std::string> verify_arguments = {o.pass_on[0], o.pass_on[1], package};
    verify_arguments.insert(verify_arguments.end(), o.pass_on.begin() + 2, o.pass_on.end());
    if (run(command_verify, verify_arguments) != 0) return give_up("verify");
    std::string updater = platform::path_from_command_line(o.updater.c_str());
    bool signing = !o.sign_cert.empty();
    if (command_attach(updater, package, signing ? unsigned_out : out) != 0) return give_up("attach");
    std::uint64_t unsigned_size = file_size(signing ? unsigned_out : out);
    if (signing) {
        if (!sign(o, unsigned_typed, signed_typed)) return give_up("sign");
        if (!platform::replace_file(signed_out.c_str(), out.c_str())) return give_up("sign");
        platform::delete_file(unsigned_out.c_str());
    }

    tree files;
    std::uint64_t new_bytes = 0;
    std::string new_folder = folder_argument(o.pass_on[1].c_str());
    if (list_tree(new_folder, &files))
        for (const std::string& f : files.files) new_bytes += file_size(new_folder + "\\" + f);
    std::uint64_t payload = file_size(package + "\\payload.bin");
    std::string status = package + "\\status.ini";
    std::uint32_t build = platform::read_profile_int("Build", "version", 0, status.c_str());
    // Entries by kind, as the updater reads them.
    const package::manifest manifest{package + "\\manifest.ini", ""};
    int number = 1, by_flag[5] = {};
    for (const install::section_layout& layout : install::layout)
        for (int count = manifest.section_count(layout.manifest_name); count > 0; --count, ++number) {
            std::string destination, cab;
            int flag = manifest.read_entry(layout.manifest_name, number, &destination, &cab);
            if (flag >= 1 && flag <= 4) ++by_flag[flag];
        }
    std::printf("Released %s, installing build %u: %d entries (%d patched, %d replaced, %d deleted); payload %llu bytes for %llu bytes of new files (%.1f%% saved); %s, %llu bytes",
                o.out.c_str(), build, number - 1, by_flag[package::flag_patch],
                by_flag[package::flag_replace] + by_flag[package::flag_replace_alternate], by_flag[package::flag_delete],
                static_cast<unsigned long long>(payload), static_cast<unsigned long long>(new_bytes),
                new_bytes ? 100.0 * (1.0 - static_cast<double>(payload) / static_cast<double>(new_bytes)) : 0.0,
                signing ? "signed" : "not signed", static_cast<unsigned long long>(file_size(out)));
    if (signing) std::printf(" (%llu before signing)", static_cast<unsigned long long>(unsigned_size));
    std::printf("\n");
    remove_tree(scratch.substr(0, scratch.size() - 1));
    return 0;
}

}  // namespace plpack
