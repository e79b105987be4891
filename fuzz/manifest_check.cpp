// The manifest check on any bytes: the first byte gives how many records
// the split wrote, the rest is the manifest. Whatever the check accepts, the
// file pass must be able to apply as it stands: the counts add up, and
// every entry reads back with a flag the pass knows, a destination and,
// except for deletions, one of the split's files that no other entry uses.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "install/layout.h"
#include "package/manifest.h"
#include "package/manifest_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::scratch_folder place;
    if (size < 1) return 0;
    int records = data[0] == 0xFF ? package::any_records : data[0] % 64;
    std::string path = place.folder + package::manifest_file_name;
    fuzz::require(fuzz::write_file_bytes(path, {data + 1, size - 1}), "cannot write the manifest");

    std::vector<const char*> sections;
    for (const install::section_layout& layout : install::layout) sections.push_back(layout.manifest_name);
    package::manifest m{path, place.folder};
    std::vector<std::string> found = package::check_manifest(m, sections, records);
    for (const std::string& finding : found) fuzz::require(!finding.empty(), "an empty finding");
    if (!found.empty()) return 0;

    int sum = 0;
    for (const char* section : sections) sum += m.section_count(section);
    fuzz::require(sum == m.total_entries() && sum >= 1 && sum <= package::most_entries,
                  "an accepted manifest whose counts do not add up");
    std::set<std::string> used;
    int number = 1;
    for (const char* section : sections) {
        for (int i = m.section_count(section); i > 0; --i, ++number) {
            std::string destination, compressed;
            int flag = m.read_entry(section, number, &destination, &compressed);
            fuzz::require(flag >= package::flag_patch && flag <= package::flag_replace_alternate,
                          "an accepted entry has a flag the file pass does not know");
            fuzz::require(!destination.empty(), "an accepted entry has no destination");
            if (flag == package::flag_delete) continue;
            fuzz::require(compressed.compare(0, place.folder.size(), place.folder) == 0,
                          "an accepted entry's compressed file is not in the work folder");
            std::string name = compressed.substr(place.folder.size());
            for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            bool split_name = false;
            for (int k = 2; k <= (records == package::any_records ? package::most_entries + 1 : records + 1) &&
                            !split_name;
                 ++k)
                split_name = name == "temp" + std::to_string(k) + ".cab";
            fuzz::require(split_name, "an accepted entry names a file the split did not write");
            fuzz::require(used.insert(name).second, "two accepted entries share a compressed file");
        }
    }
    return 0;
}
