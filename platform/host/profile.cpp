// Profile files on the host, read as Wine reads them and written without
// disturbing the rest of the file: a write changes one line or adds lines,
// and every other byte stays as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/host/host_path.h"
#include "platform/profile.h"

namespace platform {

namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);

// Blanks as the reader sees them; Ctrl-Z is one too.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + ('a' - 'A'));
        if (x != y) return false;
    }
    return true;
}

enum class line_kind { blank, header, entry };

// One line of the file: where it stands and what it says.
struct line {
    std::size_t begin = 0;  // first character
    std::size_t end = 0;    // just past its text, before the line break
    std::size_t next = 0;   // just past the line break
    line_kind kind = line_kind::blank;
    std::string_view name;  // section name of a header, key name of an entry
    bool has_value = false;
    std::string_view value;
};

struct profile {
    std::string text;
    std::size_t start = 0;  // past a UTF-8 byte order mark
    std::vector<line> lines;
};

void classify(line* l, std::string_view text) {
    std::string_view t = trim(text);
    if (t.empty()) return;
    if (t.front() == '[') {
        std::size_t close = t.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            l->kind = line_kind::header;
            l->name = trim(t.substr(1, close - 1));
            return;
        }
    }
    l->kind = line_kind::entry;
    std::size_t equals = t.find('=');
    if (equals == std::string_view::npos) {
        l->name = t;
        return;
    }
    l->name = trim(t.substr(0, equals));
    l->has_value = true;
    l->value = trim(t.substr(equals + 1));
}

// A line ends at LF, CR LF or a lone CR.
void parse(profile* p) {
    const std::string& text = p->text;
    p->start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::size_t at = p->start;
    while (at < text.size()) {
        line l;
        l.begin = at;
        while (at < text.size() && text[at] != '\n' && text[at] != '\r') ++at;
        l.end = at;
        if (at < text.size() && text[at++] == '\r' && at < text.size() && text[at] == '\n') ++at;
        l.next = at;
        classify(&l, std::string_view(text).substr(l.begin, l.end - l.begin));
        p->lines.push_back(l);
    }
}

// The whole file; false when it is missing or cannot be read, with errno
// telling which.
bool read_whole(const std::string& host_path, std::string* text) {
    int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text->clear();
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (got == 0) break;
        text->append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

bool load(const char* file, profile* p) {
    if (!file || !read_whole(host::to_host(file), &p->text)) return false;
    parse(p);
    return true;
}

// The lines [first, end) of a section; the lines before the first header
// form a section without a name and without a header.
struct section_span {
    std::size_t header = none;
    std::size_t first = 0;
    std::size_t end = 0;
};

// The first section of that name.
bool find_section(const profile& p, std::string_view name, section_span* found) {
    name = trim(name);
    section_span span;
    std::string_view current;
    for (std::size_t i = 0; i <= p.lines.size(); ++i) {
        if (i < p.lines.size() && p.lines[i].kind != line_kind::header) continue;
        span.end = i;
        if (same_name(current, name)) {
            *found = span;
            return true;
        }
        if (i == p.lines.size()) break;
        span.header = i;
        span.first = i + 1;
        current = p.lines[i].name;
    }
    return false;
}

// The first entry of that name in the section, or none.
std::size_t find_key(const profile& p, const section_span& span, std::string_view key) {
    key = trim(key);
    for (std::size_t i = span.first; i < span.end; ++i)
        if (p.lines[i].kind == line_kind::entry && same_name(p.lines[i].name, key)) return i;
    return none;
}

// The value of section/key, or false when the file, section or key is
// missing or the key's line has no "=".
bool find_value(const char* section, const char* key, const char* file, std::string* value) {
    profile p;
    section_span span;
    if (!section || !key || !load(file, &p) || !find_section(p, section, &span)) return false;
    std::size_t at = find_key(p, span, key);
    if (at == none || !p.lines[at].has_value) return false;
    std::string_view v = p.lines[at].value;
    // A value in matching quotes is read without them.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    value->assign(v);
    return true;
}

// Reads a number as the system's string-to-integer conversion does with
// base 0: blanks and control characters before an optional sign, a "0x",
// "0o" or "0b" prefix, digits up to the first other character, wrapping
// modulo 2^32.
std::uint32_t to_integer(const char* text) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s && *s <= ' ') ++s;
    bool minus = false;
    if (*s == '+' || *s == '-') minus = *s++ == '-';
    unsigned base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'o' || s[1] == 'b')) {
        base = s[1] == 'x' ? 16 : s[1] == 'o' ? 8 : 2;
        s += 2;
    }
    std::uint32_t total = 0;
    for (;; ++s) {
        unsigned digit;
        if (*s >= '0' && *s <= '9') digit = *s - '0';
        else if (*s >= 'a' && *s <= 'z') digit = *s - 'a' + 10;
        else if (*s >= 'A' && *s <= 'Z') digit = *s - 'A' + 10;
        else break;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

bool has_line_break(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

// Replaces the file with text: written beside it under a passing name and
// moved over it, so that a failed write leaves the old file whole.
bool replace_contents(const std::string& host_path, const std::string& text, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    std::string temp = host_path + ".plupdate-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        ok = put > 0;
        if (ok) done += static_cast<std::size_t>(put);
    }
    if (ok && old) ok = ::fchmod(fd, old->st_mode & 07777) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), host_path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

std::uint32_t read_profile_int(const char* section, const char* key, int default_value, const char* file) {
    // The value is read into 30 characters, as the Windows call does.
    char buffer[30];
    if (read_profile_string(section, key, "", buffer, sizeof buffer, file) == 0)
        return static_cast<std::uint32_t>(default_value);
    return to_integer(buffer);
}

int read_profile_string(const char* section, const char* key, const char* default_value, char* buffer,
                        int capacity, const char* file) {
    if (!buffer || capacity <= 0) return 0;
    std::string value;
    if (!find_value(section, key, file, &value)) {
        std::string_view fallback = default_value ? default_value : "";
        while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);
        value.assign(fallback);
    }
    std::size_t length = std::min(value.size(), static_cast<std::size_t>(capacity) - 1);
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

bool write_profile_string(const char* section, const char* key, const char* value, const char* file) {
    // A line break in a name or value would write lines of its own.
    if (!section || !key || !value || !file || has_line_break(section) || has_line_break(key) ||
        has_line_break(value))
        return false;
    std::string_view section_name = trim(section), key_name = trim(key), new_value = value;
    while (!new_value.empty() && is_blank(new_value.front())) new_value.remove_prefix(1);
    if (key_name.empty()) return false;

    std::string host_path = host::to_host(file);
    struct stat old;
    bool existed = ::stat(host_path.c_str(), &old) == 0;
    if (existed && (S_ISDIR(old.st_mode) || (old.st_mode & S_IWUSR) == 0)) return false;
    profile p;
    if (existed && !read_whole(host_path, &p.text)) return false;
    parse(&p);

    std::string text = p.text;
    section_span span;
    if (find_section(p, section_name, &span)) {
        std::size_t at = find_key(p, span, key_name);
        if (at != none) {
            // The line keeps the key's name as the file spells it.
            const line& l = p.lines[at];
            std::string replacement = std::string(l.name) + "=" + std::string(new_value) + "\r\n";
            text.replace(l.begin, l.next - l.begin, replacement);
        } else {
            // After the section's last non-blank line.
            std::size_t last = span.header;
            for (std::size_t i = span.first; i < span.end; ++i)
                if (p.lines[i].kind != line_kind::blank) last = i;
            std::string added = std::string(key_name) + "=" + std::string(new_value) + "\r\n";
            std::size_t place = p.start;
            if (last != none) {
                const line& l = p.lines[last];
                place = l.next;
                if (l.next == l.end) added = "\r\n" + added;  // the last line of a file without a final break
            }
            text.insert(place, added);
        }
    } else {
        if (text.size() > p.start && text.back() != '\n' && text.back() != '\r') text += "\r\n";
        std::string lines = "[";
        lines.append(section_name).append("]\r\n").append(key_name).append("=").append(new_value).append("\r\n");
        text += lines;
    }
    if (existed && text == p.text) return true;
    return replace_contents(host_path, text, existed ? &old : nullptr);
}

std::vector<std::string> read_profile_keys(const char* section, const char* file) {
    std::vector<std::string> keys;
    profile p;
    section_span span;
    if (!section || !load(file, &p) || !find_section(p, section, &span)) return keys;
    for (std::size_t i = span.first; i < span.end; ++i) {
        const line& l = p.lines[i];
        if (l.kind == line_kind::entry && l.has_value && !l.name.empty() && l.name.front() != ';')
            keys.emplace_back(l.name);
    }
    return keys;
}

}  // namespace platform
