#include "tools/plpack/pe_resources.h"

#include <algorithm>
#include <optional>

#include "formats/little_endian.h"
#include "tools/plpack/byte_reader.h"
#include "tools/plpack/version_resource.h"

namespace plpack {

namespace {

using bytes = std::span<const std::uint8_t>;

// Header fields, as offsets from the start of the optional header (the
// same in PE32 and PE32+ for these) or of a section header.
constexpr std::uint32_t pe_signature = 0x00004550u;
constexpr std::uint64_t optional_section_alignment = 32;
constexpr std::uint64_t optional_file_alignment = 36;
constexpr std::uint64_t optional_size_of_image = 56;
constexpr std::uint64_t optional_size_of_headers = 60;
constexpr std::uint64_t optional_checksum = 64;
constexpr std::uint32_t resource_directory_index = 2;
constexpr std::uint32_t certificate_directory_index = 4;
constexpr std::uint64_t section_header_size = 40;
constexpr std::uint32_t section_initialized_readable = 0x40000040u;
constexpr std::uint32_t high_bit = 0x80000000u;
constexpr std::uint32_t offset_mask = 0x7FFFFFFFu;
// Resource directories nest type, name, language.
constexpr int resource_depth = 3;

void put_u16(std::vector<std::uint8_t>* out, std::uint64_t at, std::uint32_t value) {
    (*out)[at] = static_cast<std::uint8_t>(value);
    (*out)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void put_u32(std::vector<std::uint8_t>* out, std::uint64_t at, std::uint32_t value) {
    formats::store_u32(out->data() + at, value);
}

std::uint64_t align_up(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

struct section {
    std::uint64_t header = 0;  // file offset of its header
    std::uint32_t virtual_size = 0, virtual_address = 0, raw_size = 0, raw_offset = 0;
};

struct resource_entry {
    std::vector<std::uint16_t> name;  // empty for an entry named by its id
    std::uint32_t id = 0;
    int directory = -1;  // a subdirectory, or -1 for data
    std::vector<std::uint8_t> data;
    std::uint32_t code_page = 0;
};

struct resource_directory {
    std::uint8_t header[12] = {};  // characteristics, time stamp, version
    std::vector<resource_entry> entries;
};

struct pe_file {
    reader file;
    std::uint64_t optional = 0, sections_at = 0, directories = 0;
    std::uint32_t section_count_at = 0;
    std::vector<section> sections;

    std::optional<std::uint64_t> offset_of(std::uint32_t rva, std::uint32_t size) const {
        for (const section& s : sections) {
            if (rva >= s.virtual_address && std::uint64_t{rva} + size <= std::uint64_t{s.virtual_address} + s.raw_size)
                return std::uint64_t{s.raw_offset} + (rva - s.virtual_address);
        }
        return std::nullopt;
    }
};

bool fail(std::string* problem, const std::string& why) {
    *problem = why;
    return false;
}

// Reads the directory at `at` (relative to the resource section at `base`)
// and everything below it into `tree`; its index is the returned one.
std::optional<int> read_directory(const pe_file& pe, std::uint64_t base, std::uint32_t at, int depth,
                                  std::vector<resource_directory>* tree) {
    if (depth >= resource_depth) return std::nullopt;
    const reader& f = pe.file;
    if (!f.has(base + at, 16)) return std::nullopt;
    auto named = f.u16(base + at + 12), ids = f.u16(base + at + 14);
    resource_directory directory;
    std::copy_n(f.data.data() + base + at, 12, directory.header);
    int index = static_cast<int>(tree->size());
    tree->push_back(directory);
    for (std::uint32_t i = 0; i < *named + *ids; ++i) {
        std::uint64_t entry_at = base + at + 16 + 8ull * i;
        auto key = f.u32(entry_at), target = f.u32(entry_at + 4);
        if (!key || !target) return std::nullopt;
        resource_entry entry;
        if (*key & high_bit) {
            std::uint64_t text = base + (*key & offset_mask);
            auto length = f.u16(text);
            if (!length || !f.has(text + 2, 2ull * *length)) return std::nullopt;
            for (std::uint32_t c = 0; c < *length; ++c) entry.name.push_back(static_cast<std::uint16_t>(*f.u16(text + 2 + 2ull * c)));
            if (entry.name.empty()) return std::nullopt;
        } else {
            entry.id = *key;
        }
        if (*target & high_bit) {
            auto child = read_directory(pe, base, *target & offset_mask, depth + 1, tree);
            if (!child) return std::nullopt;
            entry.directory = *child;
        } else {
            auto rva = f.u32(base + *target), size = f.u32(base + *target + 4), code_page = f.u32(base + *target + 8);
            if (!rva || !size || !code_page) return std::nullopt;
            auto offset = pe.offset_of(*rva, *size);
            if (!offset) return std::nullopt;
            entry.data.assign(f.data.begin() + static_cast<std::ptrdiff_t>(*offset),
                              f.data.begin() + static_cast<std::ptrdiff_t>(*offset + *size));
            entry.code_page = *code_page;
        }
        (*tree)[static_cast<std::size_t>(index)].entries.push_back(std::move(entry));
    }
    return index;
}

constexpr std::uint32_t version_type = 16;

// Sets the product version of every version resource to `build`; false,
// with *problem saying why, when one is not the version of our updater.
bool set_version_in_tree(std::vector<resource_directory>* tree, std::uint32_t build, std::string* problem) {
    for (resource_entry& type : (*tree)[0].entries) {
        if (!type.name.empty() || type.id != version_type || type.directory < 0) continue;
        for (resource_entry& name : (*tree)[static_cast<std::size_t>(type.directory)].entries) {
            if (name.directory < 0) continue;
            for (resource_entry& language : (*tree)[static_cast<std::size_t>(name.directory)].entries) {
                if (language.directory >= 0) continue;
                if (version_string(language.data, "FileDescription") != "Pelora Updater")
                    return fail(problem, "its version resource does not describe the Pelora Updater");
                std::vector<std::uint8_t> changed;
                if (build != 0) {
                    if (!set_product_version(language.data, build, &changed))
                        return fail(problem, "its version resource is damaged");
                    language.data = std::move(changed);
                }
            }
        }
    }
    return true;
}

bool is_data_type(const resource_entry& entry) {
    static const std::vector<std::uint16_t> data_name = {'D', 'A', 'T', 'A'};
    return entry.name == data_name;
}

// Puts the package's files in place of the data of DATA 1000-1002 (every
// language of each); false when one of them is missing.
bool replace_in_tree(std::vector<resource_directory>* tree, const package_bytes& package) {
    auto find = [&](int directory, auto match) -> resource_entry* {
        for (resource_entry& e : (*tree)[static_cast<std::size_t>(directory)].entries)
            if (match(e)) return &e;
        return nullptr;
    };
    resource_entry* type = find(0, is_data_type);
    if (!type || type->directory < 0) return false;
    std::span<const std::uint8_t> files[] = {package.status, package.manifest, package.payload};
    for (std::uint32_t i = 0; i < 3; ++i) {
        resource_entry* name =
            find(type->directory, [&](const resource_entry& e) { return e.name.empty() && e.id == 1000 + i; });
        if (!name || name->directory < 0) return false;
        auto& languages = (*tree)[static_cast<std::size_t>(name->directory)].entries;
        if (languages.empty()) return false;
        for (resource_entry& language : languages) {
            if (language.directory >= 0) return false;
            language.data.assign(files[i].begin(), files[i].end());
        }
    }
    return true;
}

// The resource section for `tree` when it is loaded at `rva`: the
// directories breadth-first, then the names, the data entries and the data.
std::vector<std::uint8_t> write_tree(const std::vector<resource_directory>& tree, std::uint32_t rva) {
    std::vector<int> order = {0};
    for (std::size_t i = 0; i < order.size(); ++i)
        for (const resource_entry& e : tree[static_cast<std::size_t>(order[i])].entries)
            if (e.directory >= 0) order.push_back(e.directory);
    std::vector<std::uint32_t> directory_at(tree.size());
    std::uint64_t size = 0;
    for (int d : order) {
        directory_at[static_cast<std::size_t>(d)] = static_cast<std::uint32_t>(size);
        size += 16 + 8 * tree[static_cast<std::size_t>(d)].entries.size();
    }
    struct placed {
        const resource_entry* entry;
        std::uint32_t name_at = 0, data_entry_at = 0, data_at = 0;
    };
    std::vector<placed> entries;
    for (int d : order)
        for (const resource_entry& e : tree[static_cast<std::size_t>(d)].entries) entries.push_back({&e});
    for (placed& p : entries)
        if (!p.entry->name.empty()) {
            p.name_at = static_cast<std::uint32_t>(size);
            size += 2 + 2 * p.entry->name.size();
        }
    size = align_up(size, 4);
    for (placed& p : entries)
        if (p.entry->directory < 0) {
            p.data_entry_at = static_cast<std::uint32_t>(size);
            size += 16;
        }
    for (placed& p : entries)
        if (p.entry->directory < 0) {
            size = align_up(size, 8);
            p.data_at = static_cast<std::uint32_t>(size);
            size += p.entry->data.size();
        }
    std::vector<std::uint8_t> out(size, 0);
    std::size_t next = 0;
    for (int d : order) {
        const resource_directory& directory = tree[static_cast<std::size_t>(d)];
        std::uint32_t at = directory_at[static_cast<std::size_t>(d)];
        std::copy_n(directory.header, 12, out.begin() + at);
        std::uint32_t named = 0;
        for (const resource_entry& e : directory.entries) named += e.name.empty() ? 0 : 1;
        put_u16(&out, at + 12, named);
        put_u16(&out, at + 14, static_cast<std::uint32_t>(directory.entries.size()) - named);
        for (std::size_t i = 0; i < directory.entries.size(); ++i, ++next) {
            const placed& p = entries[next];
            std::uint32_t entry_at = at + 16 + 8 * static_cast<std::uint32_t>(i);
            put_u32(&out, entry_at, p.entry->name.empty() ? p.entry->id : (high_bit | p.name_at));
            put_u32(&out, entry_at + 4,
                    p.entry->directory >= 0 ? (high_bit | directory_at[static_cast<std::size_t>(p.entry->directory)])
                                            : p.data_entry_at);
        }
    }
    for (const placed& p : entries) {
        if (!p.entry->name.empty()) {
            put_u16(&out, p.name_at, static_cast<std::uint32_t>(p.entry->name.size()));
            for (std::size_t c = 0; c < p.entry->name.size(); ++c) put_u16(&out, p.name_at + 2 + 2 * c, p.entry->name[c]);
        }
        if (p.entry->directory < 0) {
            put_u32(&out, p.data_entry_at, rva + p.data_at);
            put_u32(&out, p.data_entry_at + 4, static_cast<std::uint32_t>(p.entry->data.size()));
            put_u32(&out, p.data_entry_at + 8, p.entry->code_page);
            std::copy(p.entry->data.begin(), p.entry->data.end(), out.begin() + p.data_at);
        }
    }
    return out;
}

bool read_headers(bytes image, pe_file* pe, std::string* problem) {
    pe->file = reader{image};
    const reader& f = pe->file;
    auto pe_offset = f.u32(0x3C);
    auto signature = pe_offset ? f.u32(*pe_offset) : std::nullopt;
    if (!signature || *signature != pe_signature) return fail(problem, "it has no PE header");
    std::uint64_t coff = *pe_offset + 4;
    auto count = f.u16(coff + 2), optional_size = f.u16(coff + 16);
    pe->optional = coff + 20;
    auto magic = f.u16(pe->optional);
    if (!count || !optional_size || !magic) return fail(problem, "its PE header is cut short");
    if (*magic != 0x10B && *magic != 0x20B) return fail(problem, "its PE optional header is of an unknown kind");
    pe->directories = pe->optional + (*magic == 0x20B ? 112 : 96);
    auto directory_count = f.u32(pe->directories - 4);
    if (!directory_count || *directory_count <= certificate_directory_index ||
        pe->directories + 8 * (certificate_directory_index + 1) > pe->optional + *optional_size ||
        !f.has(pe->optional, *optional_size))
        return fail(problem, "its PE optional header is cut short");
    pe->section_count_at = static_cast<std::uint32_t>(coff + 2);
    pe->sections_at = pe->optional + *optional_size;
    for (std::uint32_t i = 0; i < *count; ++i) {
        section s;
        s.header = pe->sections_at + section_header_size * i;
        if (!f.has(s.header, section_header_size)) return fail(problem, "its section table is cut short");
        s.virtual_size = *f.u32(s.header + 8);
        s.virtual_address = *f.u32(s.header + 12);
        s.raw_size = *f.u32(s.header + 16);
        s.raw_offset = *f.u32(s.header + 20);
        if (s.raw_size != 0 && !f.has(s.raw_offset, s.raw_size))
            return fail(problem, "it is cut short (section " + std::to_string(i + 1) + " ends past the end of the file)");
        pe->sections.push_back(s);
    }
    if (pe->sections.empty()) return fail(problem, "it has no sections");
    return true;
}

}  // namespace

std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::uint64_t checksum_offset) {
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < image.size(); i += 2) {
        if (i == checksum_offset || i == checksum_offset + 2) continue;
        std::uint32_t word = image[i];
        if (i + 1 < image.size()) word |= std::uint32_t{image[i + 1]} << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + image.size());
}

bool replace_package_resources(std::span<const std::uint8_t> image, const package_bytes& package,
                               std::vector<std::uint8_t>* out, std::string* problem) {
    pe_file pe;
    if (!read_headers(image, &pe, problem)) return false;
    const reader& f = pe.file;
    std::uint64_t resource_entry = pe.directories + 8 * resource_directory_index;
    std::uint64_t certificate_entry = pe.directories + 8 * certificate_directory_index;
    std::uint32_t resource_rva = *f.u32(resource_entry);
    if (resource_rva == 0) return fail(problem, "it has no resources");
    auto base = pe.offset_of(resource_rva, 16);
    if (!base) return fail(problem, "its resource directory lies outside its sections");
    std::vector<resource_directory> tree;
    if (!read_directory(pe, *base, 0, 0, &tree)) return fail(problem, "its resource directory is damaged");
    if (!replace_in_tree(&tree, package)) return fail(problem, "it lacks the DATA resources 1000, 1001 and 1002");
    if (!set_version_in_tree(&tree, package.build, problem)) return false;

    std::uint32_t section_alignment = *f.u32(pe.optional + optional_section_alignment);
    std::uint32_t file_alignment = *f.u32(pe.optional + optional_file_alignment);
    if (section_alignment == 0 || file_alignment == 0) return fail(problem, "its PE alignments are zero");

    // A signature is the last thing in the file; it would no longer hold.
    std::uint64_t end = image.size();
    std::uint32_t certificate_offset = *f.u32(certificate_entry), certificate_size = *f.u32(certificate_entry + 4);
    if (certificate_size != 0) {
        if (!f.has(certificate_offset, certificate_size)) return fail(problem, "its signature lies past the end of the file");
        end = certificate_offset;
    }

    // The new section replaces one left at the end by an earlier rewrite,
    // else it goes after everything.
    std::size_t last = 0;
    for (std::size_t i = 1; i < pe.sections.size(); ++i)
        if (pe.sections[i].virtual_address > pe.sections[last].virtual_address) last = i;
    const section& tail = pe.sections[last];
    bool reuse = last + 1 == pe.sections.size() && tail.virtual_address == resource_rva && tail.raw_size != 0 &&
                 std::uint64_t{tail.raw_offset} + tail.raw_size == end;
    std::uint64_t header_at = reuse ? tail.header : pe.sections_at + section_header_size * pe.sections.size();
    std::uint32_t rva = reuse ? tail.virtual_address
                              : static_cast<std::uint32_t>(align_up(
                                    std::uint64_t{tail.virtual_address} + std::max(tail.virtual_size, tail.raw_size),
                                    section_alignment));
    std::uint64_t raw_at = reuse ? tail.raw_offset : align_up(end, file_alignment);
    if (!reuse) {
        std::uint64_t room = *f.u32(pe.optional + optional_size_of_headers);
        for (const section& s : pe.sections)
            if (s.raw_size != 0) room = std::min<std::uint64_t>(room, s.raw_offset);
        if (header_at + section_header_size > room) return fail(problem, "its section table has no room for another section");
    }

    std::vector<std::uint8_t> resources = write_tree(tree, rva);
    std::uint64_t raw_size = align_up(resources.size(), file_alignment);
    if (raw_at + raw_size > 0xFFFFFFFFu) return fail(problem, "the result would be too large");

    out->assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(end, raw_at)));
    out->resize(raw_at, 0);
    out->insert(out->end(), resources.begin(), resources.end());
    out->resize(raw_at + raw_size, 0);

    static const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::fill_n(out->begin() + static_cast<std::ptrdiff_t>(header_at), section_header_size, 0);
    std::copy_n(name, 8, out->begin() + static_cast<std::ptrdiff_t>(header_at));
    put_u32(out, header_at + 8, static_cast<std::uint32_t>(resources.size()));
    put_u32(out, header_at + 12, rva);
    put_u32(out, header_at + 16, static_cast<std::uint32_t>(raw_size));
    put_u32(out, header_at + 20, static_cast<std::uint32_t>(raw_at));
    put_u32(out, header_at + 36, section_initialized_readable);
    if (!reuse) put_u16(out, pe.section_count_at, static_cast<std::uint32_t>(pe.sections.size() + 1));
    put_u32(out, pe.optional + optional_size_of_image,
            static_cast<std::uint32_t>(align_up(std::uint64_t{rva} + resources.size(), section_alignment)));
    put_u32(out, resource_entry, rva);
    put_u32(out, resource_entry + 4, static_cast<std::uint32_t>(resources.size()));
    put_u32(out, certificate_entry, 0);
    put_u32(out, certificate_entry + 4, 0);
    put_u32(out, pe.optional + optional_checksum, pe_checksum(*out, pe.optional + optional_checksum));
    return true;
}

std::vector<std::uint8_t> version_resource(std::span<const std::uint8_t> image) {
    pe_file pe;
    std::string problem;
    if (!read_headers(image, &pe, &problem)) return {};
    std::uint32_t resource_rva = *pe.file.u32(pe.directories + 8 * resource_directory_index);
    auto base = resource_rva == 0 ? std::nullopt : pe.offset_of(resource_rva, 16);
    std::vector<resource_directory> tree;
    if (!base || !read_directory(pe, *base, 0, 0, &tree)) return {};
    for (const resource_entry& type : tree[0].entries) {
        if (!type.name.empty() || type.id != version_type || type.directory < 0) continue;
        for (const resource_entry& name : tree[static_cast<std::size_t>(type.directory)].entries) {
            if (name.directory < 0) continue;
            for (const resource_entry& language : tree[static_cast<std::size_t>(name.directory)].entries)
                if (language.directory < 0) return language.data;
        }
    }
    return {};
}

}  // namespace plpack
