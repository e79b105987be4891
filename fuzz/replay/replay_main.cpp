// A main for a fuzz target outside libFuzzer: every file of the folders
// named on the command line (in name order, names starting with a dot
// aside), and every file named there, is handed to LLVMFuzzerTestOneInput
// once, in a buffer of exactly its size. A folder that is missing or empty
// adds nothing. Each input's path is printed before it runs, so that the
// one whose check fails (and aborts, as under libFuzzer) is the last shown.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool replay(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<char> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of its own, so that the sanitizers see a read past its end.
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[content.size()]);
    std::copy(content.begin(), content.end(), data.get());
    std::printf("%s (%zu bytes)\n", path.c_str(), content.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(data.get(), content.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        fs::path given(argv[i]);
        std::error_code error;
        if (fs::is_regular_file(given, error)) {
            ok = replay(given) && ok;
            ++replayed;
            continue;
        }
        if (!fs::is_directory(given, error)) {
            std::printf("%s: no such folder, nothing to replay\n", argv[i]);
            continue;
        }
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(given, error))
            if (entry.is_regular_file() && entry.path().filename().string().rfind('.', 0) != 0)
                files.push_back(entry.path());
        if (error) {
            std::fprintf(stderr, "cannot list %s: %s\n", argv[i], error.message().c_str());
            ok = false;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            ok = replay(file) && ok;
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return ok ? 0 : 1;
}
