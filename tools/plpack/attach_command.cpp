// plpack attach UPDATER PACKAGE OUT: OUT becomes a copy of a built Windows
// updater that carries the package folder PACKAGE (status.ini,
// manifest.ini, payload.bin) in place of the one it carried.
#include <cstdio>

#include "platform/files.h"
#include "platform/profile.h"
#include "tools/plpack/commands.h"
#include "tools/plpack/embedded_package.h"
#include "tools/plpack/pe_resources.h"

namespace plpack {

int command_attach(const std::string& updater, const std::string& package_path, const std::string& out, bool quiet) {
    std::string folder = package_path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    std::vector<std::uint8_t> status, manifest, payload, image;
    if (!folder_exists(folder)) {
        std::fprintf(stderr, "plpack: %s is not a package folder\n", shown(package_path).c_str());
        return 1;
    }
    if (!read_whole_file(folder + "\\status.ini", &status) || !read_whole_file(folder + "\\manifest.ini", &manifest) ||
        !read_whole_file(folder + "\\payload.bin", &payload) || !read_whole_file(updater, &image))
        return 1;

    // Only an updater of ours: a PE that already carries the three
    // resources a package lives in.
    embedded_package carried;
    std::string problem;
    bool pe = image.size() >= 2 && image[0] == 'M' && image[1] == 'Z';
    if (!pe || !find_embedded_package(image, &carried, &problem)) {
        std::fprintf(stderr, "plpack: %s is not a Windows updater of ours: %s\n", shown(updater).c_str(),
                     pe ? problem.c_str() : "it is not a Windows (PE) executable");
        return 1;
    }
    // The version resource names the build the package installs.
    std::string status_path = folder + "\\status.ini";
    auto build = static_cast<std::uint32_t>(platform::read_profile_int("Build", "version", 0, status_path.c_str()));
    std::vector<std::uint8_t> result;
    if (!replace_package_resources(image, {status, manifest, payload, build}, &result, &problem)) {
        std::fprintf(stderr, "plpack: cannot attach a package to %s: %s\n", shown(updater).c_str(), problem.c_str());
        return 1;
    }

    // OUT appears only complete.
    std::string temporary = out + ".plpack-tmp";
    if (!write_whole_file(temporary, result)) {
        platform::delete_file(temporary.c_str());
        return 1;
    }
    if (!platform::replace_file(temporary.c_str(), out.c_str())) {
        std::string why = reason();
        platform::delete_file(temporary.c_str());
        std::fprintf(stderr, "plpack: cannot write %s%s\n", shown(out).c_str(), why.c_str());
        return 1;
    }
    if (!quiet)
        std::printf("Wrote %s (%zu bytes) carrying the package %s\n", shown(out).c_str(), result.size(),
                    shown(package_path).c_str());
    return 0;
}

}  // namespace plpack
