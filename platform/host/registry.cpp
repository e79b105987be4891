// The host's registry: the .reg file that PLUPDATE_REGISTRY names, read
// afresh whenever a key is opened, so a test can switch files between
// lookups. The file has the form that `regedit` imports (header, [KEY]
// and [-KEY] lines, @= and "Name"= values), so one file serves as the
// registry of both builds. Keys and value names match without regard to
// ASCII letter case. HKEY_CLASSES_ROOT is a view of Software\Classes of
// HKEY_CURRENT_USER over that of HKEY_LOCAL_MACHINE, as on Windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host_path.h"
#include "platform/registry.h"

namespace platform {

namespace {

using value_data = std::vector<std::uint8_t>;
using key_values = std::map<std::string, value_data>;  // by lower-case value name
using registry = std::map<std::string, key_values>;    // by lower-case full key path

constexpr const char* classes_root_prefix = "hkey_local_machine\\software\\classes";

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

// The full path of a key line's key, with HKEY_CLASSES_ROOT written where
// Windows keeps it; empty for a root this registry does not hold.
std::string full_key_path(std::string_view key) {
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    std::string path = lower(key);
    std::size_t cut = path.find('\\');
    std::string root = path.substr(0, cut);
    std::string rest = cut == std::string::npos ? "" : path.substr(cut);
    if (root == "hkey_classes_root") return classes_root_prefix + rest;
    if (root == "hkey_local_machine" || root == "hkey_current_user") return root + rest;
    return {};
}

bool is_same_or_below(const std::string& path, const std::string& key) {
    return path.size() >= key.size() && path.compare(0, key.size(), key) == 0 &&
           (path.size() == key.size() || path[key.size()] == '\\');
}

// A quoted text starting at text[*pos] == '"', with \\ and \" escapes;
// *pos moves past the closing quote. False when the quote is not closed.
bool parse_quoted(std::string_view text, std::size_t* pos, std::string* out) {
    out->clear();
    for (std::size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) c = text[++i];
        out->push_back(c);
    }
    return false;
}

bool parse_hex_bytes(std::string_view text, value_data* out) {
    out->clear();
    std::string digits;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : ',';
        if (c == ' ' || c == '\t') continue;
        if (c != ',') {
            digits.push_back(c);
            continue;
        }
        if (digits.empty()) continue;
        char* end = nullptr;
        unsigned long byte = std::strtoul(digits.c_str(), &end, 16);
        if (*end != '\0' || byte > 0xFF) return false;
        out->push_back(static_cast<std::uint8_t>(byte));
        digits.clear();
    }
    return true;
}

// The data after '=': a string, dword:, hex: or hex(n):. False for any
// other form, which the line then leaves out.
bool parse_data(std::string_view text, value_data* out) {
    if (!text.empty() && text[0] == '"') {
        std::string s;
        std::size_t pos = 0;
        if (!parse_quoted(text, &pos, &s)) return false;
        out->assign(s.begin(), s.end());
        out->push_back(0);
        return true;
    }
    std::string head = lower(text.substr(0, text.find(':')));
    if (text.find(':') == std::string_view::npos) return false;
    std::string_view rest = text.substr(text.find(':') + 1);
    if (head == "dword") {
        char* end = nullptr;
        std::string digits(rest);
        unsigned long value = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != '\0') return false;
        out->clear();
        for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return true;
    }
    if (head == "hex" || (head.size() > 5 && head.compare(0, 4, "hex(") == 0 && head.back() == ')'))
        return parse_hex_bytes(rest, out);
    return false;
}

// The file's text, one 8-bit character per character: a UTF-16 file (as
// regedit exports) keeps the low byte of each code unit.
std::string file_text(const std::string& host_path) {
    std::ifstream in(host_path, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (raw.size() < 2 || static_cast<unsigned char>(raw[0]) != 0xFF || static_cast<unsigned char>(raw[1]) != 0xFE)
        return raw;
    std::string text;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8;
        text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return text;
}

std::vector<std::string> logical_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool joining = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        start = end + 1;
        while (!part.empty() && (part.back() == '\r' || part.back() == ' ' || part.back() == '\t')) part.pop_back();
        if (joining) part.erase(0, part.find_first_not_of(" \t"));
        line += part;
        // A hex list goes on on the next line after a trailing backslash.
        joining = !line.empty() && line.back() == '\\' && lower(line).find("=hex") != std::string::npos;
        if (joining) {
            line.pop_back();
            continue;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

registry load_registry() {
    registry result;
    const char* file = std::getenv("PLUPDATE_REGISTRY");
    if (!file || !*file) return result;
    std::vector<std::string> lines = logical_lines(file_text(host::to_host(file)));
    std::size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    if (first == lines.size() ||
        (lines[first] != "Windows Registry Editor Version 5.00" && lines[first] != "REGEDIT4")) {
        std::fprintf(stderr, "PLUPDATE_REGISTRY: %s is not a registry file; the registry is empty.\n", file);
        return result;
    }
    std::string current;  // empty: values are left out until the next key line
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.back() == ']') {
            line = line.substr(1, line.size() - 2);
            bool remove = !line.empty() && line[0] == '-';
            current = full_key_path(remove ? line.substr(1) : line);
            if (current.empty()) continue;
            if (remove) {
                for (auto it = result.begin(); it != result.end();)
                    it = is_same_or_below(it->first, current) ? result.erase(it) : std::next(it);
                current.clear();
            } else {
                result[current];
            }
            continue;
        }
        if (current.empty()) continue;
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] != '"' || !parse_quoted(line, &pos, &name)) {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=') continue;
        std::string_view data = line.substr(pos + 1);
        if (data == "-") {
            result[current].erase(lower(name));
            continue;
        }
        value_data bytes;
        if (parse_data(data, &bytes)) result[current][lower(name)] = std::move(bytes);
    }
    return result;
}

// The values of key `path`, when the key or any key below it is there.
bool find_key(const registry& reg, const std::string& path, key_values* values) {
    for (auto it = reg.lower_bound(path); it != reg.end() && it->first.compare(0, path.size(), path) == 0; ++it) {
        if (!is_same_or_below(it->first, path)) continue;
        *values = it->first == path ? it->second : key_values{};
        return true;
    }
    return false;
}

}  // namespace

bool registry_open_key(registry_root root, const char* subkey, registry_key* key) {
    std::string below;
    if (subkey && *subkey) below.append("\\").append(lower(subkey));
    while (!below.empty() && below.back() == '\\') below.pop_back();
    std::vector<std::string> candidates;
    switch (root) {
        case registry_root::classes_root:
            candidates = {"hkey_current_user\\software\\classes" + below, classes_root_prefix + below};
            break;
        case registry_root::current_user: candidates = {"hkey_current_user" + below}; break;
        case registry_root::local_machine: candidates = {"hkey_local_machine" + below}; break;
    }
    registry reg = load_registry();
    key_values values;
    bool is_root = below.empty() && root != registry_root::classes_root;
    for (const std::string& path : candidates) {
        if (find_key(reg, path, &values) || is_root) {
            *key = new key_values(std::move(values));
            return true;
        }
    }
    return false;
}

bool registry_query_value(registry_key key, const char* name, void* data, std::uint32_t* size) {
    const auto* values = static_cast<const key_values*>(key);
    auto it = values->find(lower(name ? name : ""));
    if (it == values->end()) return false;
    std::uint32_t needed = static_cast<std::uint32_t>(it->second.size());
    bool fits = !data || needed <= *size;
    if (data && fits) std::memcpy(data, it->second.data(), needed);
    *size = needed;
    return fits;
}

void registry_close_key(registry_key key) { delete static_cast<key_values*>(key); }

bool import_registry_file(const char* path) {
    std::string host_path = host::to_host(path);
    if (!std::ifstream(host_path)) return false;
    return setenv("PLUPDATE_REGISTRY", path, 1) == 0;
}

}  // namespace platform
