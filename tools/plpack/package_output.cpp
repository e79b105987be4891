#include "tools/plpack/package_output.h"

#include <cstdio>
#include <random>

#include "platform/files.h"
#include "platform/paths.h"
#include "tools/plpack/commands.h"

namespace plpack {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

bool is_package_file(const std::string& name) {
    std::string n = lower(name);
    return n == "status.ini" || n == "manifest.ini" || n == "payload.bin";
}

// A name beside `out` that nothing holds yet, with `tag` and a random part.
std::string beside(const std::string& out, const char* tag) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%s-%08x", tag, static_cast<unsigned>(random()));
        std::string name = out + suffix;
        if (!platform::file_exists(name.c_str()) && !folder_exists(name)) return name;
    }
    return {};
}

}  // namespace

bool path_within(const std::string& inner, const std::string& outer) {
    std::string a = lower(inner), b = lower(outer);
    if (a.empty() || b.empty()) return false;
    if (a == b) return true;
    if (b.back() != '\\') b += '\\';
    return a.compare(0, b.size(), b) == 0;
}

std::string output_problem(const std::string& out, const std::string& shown, const std::vector<input_folder>& inputs) {
    std::string full_out = platform::full_path(out.c_str());
    for (const input_folder& input : inputs) {
        if (input.path.empty()) continue;
        std::string full_input = platform::full_path(input.path.c_str());
        if (path_within(full_out, full_input))
            return shown + " is inside the " + input.what + " folder " + input.shown +
                   "; a package must not be written into what it is built from";
    }
    if (platform::file_exists(out.c_str())) return shown + " is a file, not a folder";
    std::size_t cut = out.find_last_of('\\');
    if (cut != std::string::npos && cut > 0 && out[cut - 1] != ':') {
        std::string parent = out.substr(0, cut);
        std::string issue = folder_problem(parent);
        if (!issue.empty()) return "the folder " + plpack::shown(parent) + " that is to hold " + shown + " " + issue;
    }
    if (!folder_exists(out)) return {};
    tree content;
    if (!list_tree(out, &content)) return shown + " cannot be listed";
    if (!content.folders.empty())
        return shown + " is a folder that holds the folder " + content.folders.front() +
               "; build writes only into a new folder or over an earlier package";
    for (const std::string& file : content.files)
        if (!is_package_file(file))
            return shown + " is a folder that holds " + file +
                   ", which is not part of a package; build writes only into a new folder or over an earlier "
                   "package";
    return {};
}

bool write_package_folder(const std::string& out, const std::string& shown, const std::vector<package_file>& files) {
    std::string staging = beside(out, "plpack-new");
    if (staging.empty() || platform::create_directory(staging.c_str()) != platform::create_directory_result::created) {
        std::fprintf(stderr, "plpack: cannot create a folder beside %s%s\n", shown.c_str(), reason().c_str());
        return false;
    }
    for (const package_file& file : files) {
        std::string path = staging + "\\" + file.first;
        std::uint32_t size = static_cast<std::uint32_t>(file.second->size()), written = 0;
        platform::unique_file handle(
            platform::create_file(path.c_str(), platform::access::write, platform::disposition::create_always));
        bool ok = handle.valid() &&
                  (size == 0 || (platform::write_file(handle.get(), file.second->data(), size, &written) &&
                                 written == size));
        std::string why = reason();
        handle.reset();
        if (!ok) {
            std::fprintf(stderr, "plpack: cannot write %s of the package %s%s\n", file.first, shown.c_str(),
                         why.c_str());
            remove_tree(staging);
            return false;
        }
    }

    // An earlier package steps aside first, and comes back when the new
    // one cannot take its place.
    std::string earlier;
    if (folder_exists(out)) {
        earlier = beside(out, "plpack-old");
        if (earlier.empty() || !platform::move_file(out.c_str(), earlier.c_str())) {
            std::fprintf(stderr, "plpack: cannot move the earlier package %s aside%s\n", shown.c_str(),
                         reason().c_str());
            remove_tree(staging);
            return false;
        }
    }
    if (!platform::move_file(staging.c_str(), out.c_str())) {
        std::fprintf(stderr, "plpack: cannot rename the new package into %s%s\n", shown.c_str(), reason().c_str());
        if (!earlier.empty()) platform::move_file(earlier.c_str(), out.c_str());
        remove_tree(staging);
        return false;
    }
    if (!earlier.empty()) remove_tree(earlier);
    return true;
}

}  // namespace plpack
