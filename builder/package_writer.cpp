#include "builder/package_writer.h"


#include "install/layout.h"
#include "package/manifest.h"

namespace builder {

std::vector<std::size_t> manifest_order(const std::vector<manifest_entry>& entries) {
    std::vector<std::size_t> order;
    order.reserve(entries.size());
    for (std::size_t s = 0; s < install::section_count; ++s)
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].section == s) order.push_back(i);
    return order;
}

std::string manifest_text(const std::vector<manifest_entry>& entries) {
    std::vector<std::size_t> order = manifest_order(entries);
    std::string text;
    int number = 0, cab = 1;
    std::size_t next = 0;
    for (std::size_t s = 0; s < install::section_count; ++s) {
        std::string keys;
        int count = 0;
        for (; next < order.size() && entries[order[next]].section == s; ++next, ++count) {
            const manifest_entry& entry = entries[order[next]];
            std::string n = std::to_string(++number);
            keys += "File" + n + "Flag=" + std::to_string(entry.flag) + "\r\n";
            keys += "File" + n + "Dest=" + entry.destination + "\r\n";
            if (entry.flag != package::flag_delete)
                keys += "File" + n + "CAB=temp" + std::to_string(++cab) + ".cab\r\n";
            if (entry.flag != package::flag_delete && !entry.sha256.empty()) {
                keys += "File" + n + "SHA256=" + entry.sha256 + "\r\n";
                keys += "File" + n + "Size=" + std::to_string(entry.size) + "\r\n";
            }
        }
        // Piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
        // "[" + std::string(name).
        text += '[';
        text += install::layout[s].manifest_name;
        text += "]\r\n";
        text += "NumFiles=" + std::to_string(count) + "\r\n" + keys;
    }
    text += "[General]\r\nTotalFiles=" + std::to_string(number) + "\r\n";
    return text;
}

std::optional<std::string> destination_problem(std::string_view destination) {
    if (destination.empty()) return "the name is empty";
    if (destination.size() > max_destination_length)
        return "its name in the section folder has " + std::to_string(destination.size()) +
               " characters; the updater reads at most " + std::to_string(max_destination_length);
    if (!install::stays_inside(destination)) return "the updater refuses names that leave their folder";
    std::size_t start = 0;
    while (start <= destination.size()) {
        std::size_t end = destination.find('\\', start);
        if (end == std::string_view::npos) end = destination.size();
        std::string_view name = destination.substr(start, end - start);
        if (name.empty()) return "the name has an empty folder name";
        for (char c : name) {
            auto u = static_cast<unsigned char>(c);
            if (u < 32 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos)
                return "the name holds a character that Windows file names cannot hold";
        }
        if (name.back() == '.' || name.back() == ' ') return "a name ends in a dot or a blank, which Windows drops";
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace builder
