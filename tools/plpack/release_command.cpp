// plpack release OLD NEW --build N --updater PLUpdate.exe -o OUT.exe
// [--dict-old DIR --dict-new DIR] [--code-page N] [--sign-cert C
// [--sign-key K] [--timestamp URL]] [--quiet] [--json]: builds the
// package, verifies it, attaches it to the released updater and signs the
// result. OUT appears only when every step succeeded.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "install/layout.h"
#include "package/manifest.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/usage.h"

namespace plpack {

namespace {

struct options {
    std::vector<std::string> folders;  // OLD NEW
    std::vector<std::string> shared;   // the options build and verify share
    std::string updater, out, sign_cert, sign_key, timestamp, build;
    bool quiet = false, json = false;
};

// Reads the arguments after "release"; the problem with them, naming the
// bad one, or empty.
std::string parse(int argc, char** argv, options* o) {
    bool dict_old = false, dict_new = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a.size() < 2 || a[0] != '-') {
            o->folders.push_back(a);
            continue;
        }
        if (a == "--quiet" || a == "--json") {
            (a == "--quiet" ? o->quiet : o->json) = true;
            continue;
        }
        if (a != "--build" && a != "--updater" && a != "-o" && a != "--dict-old" && a != "--dict-new" &&
            a != "--code-page" && a != "--sign-cert" && a != "--sign-key" && a != "--timestamp")
            return "unknown option " + a;
        if (i + 1 >= argc) return a + " needs a value";
        std::string value = argv[++i];
        long number = 0;
        int code_page = 0;
        if (a == "--build") {
            if (!parse_number(value.c_str(), 0, 0x7FFFFFFF, &number))
                return "--build wants a build number from 0 to 2147483647, not '" + value + "'";
            o->build = value;
        } else if (a == "--code-page") {
            if (!parse_code_page(value.c_str(), &code_page))
                return "--code-page wants 1250, 1251 or 1252, not '" + value + "'";
            o->shared.insert(o->shared.end(), {a, value});
        } else if (a == "--dict-old" || a == "--dict-new") {
            (a == "--dict-old" ? dict_old : dict_new) = true;
            o->shared.insert(o->shared.end(), {a, value});
        } else {
            (a == "--updater" ? o->updater : a == "-o" ? o->out : a == "--sign-cert" ? o->sign_cert
                                                             : a == "--sign-key"  ? o->sign_key
                                                                                  : o->timestamp) = value;
        }
    }
    if (o->folders.size() != 2)
        return "release takes two folders, OLD NEW, not " + std::to_string(o->folders.size());
    if (o->build.empty()) return "release needs --build N, the build number the package installs";
    if (o->updater.empty()) return "release needs --updater EXE, the released updater to attach the package to";
    if (o->out.empty()) return "release needs -o OUT, the updater to write";
    if (dict_old != dict_new) return dict_old ? "--dict-old needs --dict-new" : "--dict-new needs --dict-old";
    if (o->sign_cert.empty() && !o->sign_key.empty()) return "--sign-key needs --sign-cert";
    if (o->sign_cert.empty() && !o->timestamp.empty()) return "--timestamp needs --sign-cert";
    return {};
}

// Runs `command` with its arguments pointed to by argv.
int run(const std::function<int(int, char**)>& command, std::vector<std::string> arguments) {
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
// certificate without a key is a PKCS#12 file. What osslsigncode says on
// standard output goes nowhere with --quiet and to standard error with
// --json, which keeps standard output for its object.
bool sign(const options& o, const std::string& in, const std::string& out) {
    std::string command = "osslsigncode sign -h sha256 ";
    if (o.sign_key.empty())
        command += "-pkcs12 " + quoted(o.sign_cert);
    else
        command += "-certs " + quoted(o.sign_cert) + " -key " + quoted(o.sign_key);
    if (!o.timestamp.empty()) command += " -ts " + quoted(o.timestamp);
    command += " -in " + quoted(in) + " -out " + quoted(out);
#ifdef _WIN32
    if (o.quiet) command += " >NUL";
#else
    if (o.quiet) command += " >/dev/null";
#endif
    else if (o.json) command += " 1>&2";
    std::fflush(stdout);
    return std::system(command.c_str()) == 0;
}

// What the package carries, read back from it as the updater reads it.
struct package_summary {
    std::uint32_t build = 0;
    int entries = 0, patched = 0, replaced = 0, deleted = 0;
    std::uint64_t payload_bytes = 0, new_and_changed_bytes = 0;
};

package_summary summarise(const std::string& package) {
    package_summary sum;
    sum.payload_bytes = file_size(package + "\\payload.bin");
    std::string status = package + "\\status.ini";
    sum.build = platform::read_profile_int("Build", "version", 0, status.c_str());
    const package::manifest manifest{package + "\\manifest.ini", ""};
    int number = 1;
    for (const install::section_layout& layout : install::layout)
        for (int count = manifest.section_count(layout.manifest_name); count > 0; --count, ++number) {
            std::string destination, cab, sha256;
            unsigned long long size = 0;
            int flag = manifest.read_entry(layout.manifest_name, number, &destination, &cab);
            if (flag == package::flag_patch) ++sum.patched;
            if (flag == package::flag_replace || flag == package::flag_replace_alternate) ++sum.replaced;
            if (flag == package::flag_delete) ++sum.deleted;
            if (flag != package::flag_delete &&
                manifest.read_new_content(layout.manifest_name, number, &sha256, &size) ==
                    package::manifest::content_keys::present)
                sum.new_and_changed_bytes += size;
        }
    sum.entries = number - 1;
    return sum;
}

}  // namespace

int command_release(int argc, char** argv) {
    options o;
    std::string problem = parse(argc, argv, &o);
    if (!problem.empty()) return usage_error("release", problem);
    // An updater that cannot be read would stop release only after the
    // long steps.
    std::string updater = platform::path_from_command_line(o.updater.c_str());
    if (folder_exists(updater)) {
        std::fprintf(stderr, "plpack: the updater %s is a folder, not a file\n", o.updater.c_str());
        return 1;
    }
    if (!platform::file_exists(updater.c_str())) {
        std::fprintf(stderr, "plpack: cannot read the updater %s%s\n", o.updater.c_str(), reason().c_str());
        return 1;
    }
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
    std::vector<std::string> findings;
    auto give_up = [&](const char* step) {
        platform::delete_file(unsigned_out.c_str());
        platform::delete_file(signed_out.c_str());
        remove_tree(scratch.substr(0, scratch.size() - 1));
        std::fprintf(stderr, "plpack: release stopped at the %s step; %s was not written\n", step, o.out.c_str());
        if (o.json)
            std::printf("{\"released\": false, \"output\": %s, \"stopped_at\": %s, \"findings\": %s}\n",
                        json_string(o.out).c_str(), json_string(step).c_str(), json_list(findings).c_str());
        return 1;
    };

    // build and verify take the package folder as typed; it is the scratch
    // folder's, in the platform layer's form, which they take as well.
    std::vector<std::string> step_arguments = {o.folders[0], o.folders[1], package};
    step_arguments.insert(step_arguments.end(), o.shared.begin(), o.shared.end());
    if (o.quiet) step_arguments.push_back("--quiet");
    std::vector<std::string> build_arguments = step_arguments;
    build_arguments.insert(build_arguments.end(), {"--build", o.build});
    if (run(build_step, build_arguments) != 0) return give_up("build");
    int verified = run([&](int c, char** v) { return verify_step(c, v, &findings); }, step_arguments);
    if (!o.json)
        for (const std::string& f : findings) std::printf("%s\n", f.c_str());
    if (verified != 0) return give_up("verify");
    bool signing = !o.sign_cert.empty();
    if (command_attach(updater, package, signing ? unsigned_out : out, true) != 0) return give_up("attach");
    std::uint64_t unsigned_size = file_size(signing ? unsigned_out : out);
    if (signing) {
        if (!sign(o, unsigned_typed, signed_typed)) return give_up("sign");
        if (!platform::replace_file(signed_out.c_str(), out.c_str())) return give_up("sign");
        platform::delete_file(unsigned_out.c_str());
    }

    tree files;
    std::uint64_t new_bytes = 0;
    std::string new_folder = folder_argument(o.folders[1].c_str());
    if (list_tree(new_folder, &files))
        for (const std::string& f : files.files) new_bytes += file_size(new_folder + "\\" + f);
    package_summary sum = summarise(package);
    remove_tree(scratch.substr(0, scratch.size() - 1));
    double payload = static_cast<double>(sum.payload_bytes), carried = static_cast<double>(sum.new_and_changed_bytes);
    double saved = sum.new_and_changed_bytes > 0 ? 100.0 * (1.0 - payload / carried) : 0.0;
    auto ull = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
    if (o.json) {
        std::printf("{\"released\": true, \"output\": %s, \"build\": %u, \"entries\": {\"total\": %d, \"patched\": %d, "
                    "\"replaced\": %d, \"deleted\": %d}, \"payload_bytes\": %llu, \"new_bytes\": %llu, "
                    "\"new_and_changed_bytes\": %llu, \"saved_percent\": %.1f, \"signed\": %s, \"bytes\": %llu, "
                    "\"unsigned_bytes\": %llu}\n",
                    json_string(o.out).c_str(), sum.build, sum.entries, sum.patched, sum.replaced, sum.deleted,
                    ull(sum.payload_bytes), ull(new_bytes), ull(sum.new_and_changed_bytes), saved,
                    signing ? "true" : "false", ull(file_size(out)), ull(unsigned_size));
        return 0;
    }
    if (o.quiet) return 0;
    std::printf("Released %s, installing build %u: %d entries (%d patched, %d replaced, %d deleted); payload %llu "
                "bytes for %llu bytes of new and changed files (%.1f%% saved); %s, %llu bytes",
                o.out.c_str(), sum.build, sum.entries, sum.patched, sum.replaced, sum.deleted, ull(sum.payload_bytes),
                ull(sum.new_and_changed_bytes), saved, signing ? "signed" : "not signed", ull(file_size(out)));
    if (signing) std::printf(" (%llu before signing)", ull(unsigned_size));
    std::printf("\n");
    return 0;
}

}  // namespace plpack
