// Profile files on the host, read as Wine reads them and written without
// disturbing the rest of the file: a write changes one line or adds lines,
// and every other byte stays as it was.
//
// A file read is kept, parsed and indexed, for the reads after it: each
// read checks with one stat that the file is still the one kept (device,
// inode, size, times of last change), and a write of ours drops it. A file
// changed within the file system's clock tick in which it was read could
// keep its times and size: such a copy counts as racy and is compared with
// the file's bytes until that tick has passed.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/host/host_path.h"
#include "platform/profile.h"
#include "platform/profile_values.h"

namespace platform {

namespace {

using profile_values::is_blank;
using profile_values::trim;

constexpr std::size_t none = static_cast<std::size_t>(-1);

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

// The whole file, and its stat when `st` is given; false when it is
// missing or cannot be read, with errno telling which.
bool read_whole(const std::string& host_path, std::string* text, struct stat* st = nullptr) {
    int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (st && ::fstat(fd, st) != 0) {
        int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
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

// A section of a file kept in the cache: its lines, and its keys once a
// read has asked for them.
struct indexed_section {
    section_span span;
    std::shared_ptr<const profile_section> values;
};

struct cached_file {
    struct stat stamp {};
    timespec read_at{};  // the file system's clock just before the file was read
    profile p;
    // The first section of each name, in lower case; "" also names the
    // lines before the first header.
    std::unordered_map<std::string, indexed_section> sections;
};

bool same_time(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }
bool earlier(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && same_time(a.st_mtim, b.st_mtim) &&
           same_time(a.st_ctim, b.st_ctim);
}

void index_sections(cached_file* f) {
    const std::vector<line>& lines = f->p.lines;
    section_span span;
    std::string current;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        if (i < lines.size() && lines[i].kind != line_kind::header) continue;
        span.end = i;
        f->sections.try_emplace(current, indexed_section{span, nullptr});
        if (i == lines.size()) break;
        span.header = i;
        span.first = i + 1;
        current = profile_values::lower(lines[i].name);
    }
}

std::shared_ptr<const profile_section> section_values(const profile& p, const section_span& span) {
    auto values = std::make_shared<profile_section>();
    for (std::size_t i = span.first; i < span.end; ++i) {
        const line& l = p.lines[i];
        if (l.kind != line_kind::entry) continue;
        std::optional<std::string> value;
        if (l.has_value) value.emplace(l.value);
        values->keys.try_emplace(profile_values::lower(l.name), std::move(value));
    }
    return values;
}

// Files read, by host path; used under cache_mutex only.
std::mutex cache_mutex;
std::unordered_map<std::string, std::shared_ptr<cached_file>> cache;
constexpr std::size_t cache_capacity = 16;

// The file as it is now, from the cache or read again; null when it is
// missing or cannot be read. Called under cache_mutex.
cached_file* current_file(const std::string& host_path) {
    auto at = cache.find(host_path);
    struct stat now;
    if (::stat(host_path.c_str(), &now) != 0) {
        if (at != cache.end()) cache.erase(at);
        return nullptr;
    }
    // A copy read in a later tick than the file's last change is that file
    // for as long as its stat stays the same: any change after the reading
    // would carry a later time.
    if (at != cache.end() && same_file(at->second->stamp, now) && earlier(now.st_mtim, at->second->read_at) &&
        earlier(now.st_ctim, at->second->read_at))
        return at->second.get();
    auto fresh = std::make_shared<cached_file>();
    ::clock_gettime(CLOCK_REALTIME_COARSE, &fresh->read_at);
    if (!read_whole(host_path, &fresh->p.text, &fresh->stamp)) {
        if (at != cache.end()) cache.erase(at);
        return nullptr;
    }
    if (at != cache.end() && at->second->p.text == fresh->p.text) {
        // The same bytes: the parsed copy stays.
        at->second->stamp = fresh->stamp;
        at->second->read_at = fresh->read_at;
        return at->second.get();
    }
    parse(&fresh->p);
    index_sections(fresh.get());
    if (at == cache.end() && cache.size() >= cache_capacity) cache.clear();
    cached_file* result = fresh.get();
    cache[host_path] = std::move(fresh);
    return result;
}

// The first section of that name in the file as it is now; null when the
// file or section is missing. *in receives the file. Called under
// cache_mutex.
indexed_section* current_section(const char* section, const char* file, cached_file** in = nullptr) {
    if (!section || !file) return nullptr;
    cached_file* f = current_file(host::to_host(file));
    if (!f) return nullptr;
    if (in) *in = f;
    auto at = f->sections.find(profile_values::lower(trim(section)));
    if (at == f->sections.end()) return nullptr;
    if (!at->second.values) at->second.values = section_values(f->p, at->second.span);
    return &at->second;
}

// The value of the first line of section/key: missing when the file,
// section or key is; without a value when the key's line has no "=".
std::optional<std::optional<std::string>> find_value(const char* section, const char* key, const char* file) {
    if (!key) return std::nullopt;
    std::lock_guard lock(cache_mutex);
    indexed_section* found = current_section(section, file);
    if (!found) return std::nullopt;
    auto at = found->values->keys.find(profile_values::lower(trim(key)));
    if (at == found->values->keys.end()) return std::nullopt;
    return at->second;
}

void forget(const std::string& host_path) {
    std::lock_guard lock(cache_mutex);
    cache.erase(host_path);
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
    auto found = find_value(section, key, file);
    return profile_values::integer_value(found ? &*found : nullptr, default_value);
}

int read_profile_string(const char* section, const char* key, const char* default_value, char* buffer,
                        int capacity, const char* file) {
    if (!buffer || capacity <= 0) return 0;
    auto found = find_value(section, key, file);
    return profile_values::copy_value(found ? &*found : nullptr, default_value, buffer, capacity);
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
    bool written = replace_contents(host_path, text, existed ? &old : nullptr);
    forget(host_path);
    return written;
}

std::vector<std::string> read_profile_keys(const char* section, const char* file) {
    std::vector<std::string> keys;
    std::lock_guard lock(cache_mutex);
    cached_file* in = nullptr;
    indexed_section* found = current_section(section, file, &in);
    if (!found) return keys;
    const profile& p = in->p;
    for (std::size_t i = found->span.first; i < found->span.end; ++i) {
        const line& l = p.lines[i];
        if (l.kind == line_kind::entry && l.has_value && !l.name.empty() && l.name.front() != ';')
            keys.emplace_back(l.name);
    }
    return keys;
}

std::shared_ptr<const profile_section> read_profile_section(const char* section, const char* file) {
    static const auto empty = std::make_shared<const profile_section>();
    std::lock_guard lock(cache_mutex);
    indexed_section* found = current_section(section, file);
    return found ? found->values : empty;
}

}  // namespace platform
