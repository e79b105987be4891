#include "builder/embedded_package.h"

#include <array>
#include <optional>

namespace builder {

namespace {

using bytes = std::span<const std::uint8_t>;

constexpr std::array<std::uint32_t, 3> package_ids = {1000, 1001, 1002};

// Little-endian reads that fail, instead of reading past the end, when the
// field does not lie wholly inside the data.
struct reader {
    bytes data;

    bool has(std::uint64_t offset, std::uint64_t size) const {
        return offset <= data.size() && size <= data.size() - offset;
    }
    std::optional<std::uint64_t> number(std::uint64_t offset, int size) const {
        if (!has(offset, static_cast<std::uint64_t>(size))) return std::nullopt;
        std::uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | data[offset + static_cast<std::uint64_t>(i)];
        return value;
    }
    std::optional<std::uint32_t> u16(std::uint64_t offset) const {
        auto v = number(offset, 2);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        auto v = number(offset, 4);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint64_t> u64(std::uint64_t offset) const { return number(offset, 8); }
};

bool fail(std::string* problem, const std::string& why) {
    *problem = why;
    return false;
}

std::span<const std::uint8_t>* slot_of(embedded_package* found, std::uint32_t id) {
    if (id == 1000) return &found->status;
    if (id == 1001) return &found->manifest;
    return &found->payload;
}

// PE: the resource directory's tree is type -> name -> language -> data.
struct pe_image {
    reader file;
    std::uint64_t sections = 0;  // offset of the section table
    std::uint32_t section_count = 0;
    std::uint32_t resource_rva = 0;

    // The file offset of `size` bytes at `rva`, when a section holds them.
    std::optional<std::uint64_t> offset_of(std::uint32_t rva, std::uint32_t size) const {
        for (std::uint32_t i = 0; i < section_count; ++i) {
            std::uint64_t header = sections + 40ull * i;
            auto virtual_size = file.u32(header + 8), address = file.u32(header + 12);
            auto raw_size = file.u32(header + 16), raw_offset = file.u32(header + 20);
            if (!virtual_size || !address || !raw_size || !raw_offset) return std::nullopt;
            std::uint64_t extent = *raw_size;
            if (rva >= *address && std::uint64_t{rva} + size <= *address + extent) {
                std::uint64_t offset = *raw_offset + (rva - *address);
                if (file.has(offset, size)) return offset;
                return std::nullopt;
            }
        }
        return std::nullopt;
    }
};

// The entry of a resource directory (at `directory`, relative to the
// resource section) whose name is the text `name` or, when name is empty,
// whose id is `id`. The result is the entry's OffsetToData field.
std::optional<std::uint32_t> find_resource_entry(const pe_image& pe, std::uint64_t base, std::uint32_t directory,
                                                 const std::string& name, std::uint32_t id) {
    auto named = pe.file.u16(base + directory + 12), ids = pe.file.u16(base + directory + 14);
    if (!named || !ids) return std::nullopt;
    for (std::uint32_t i = 0; i < *named + *ids; ++i) {
        std::uint64_t entry = base + directory + 16 + 8ull * i;
        auto key = pe.file.u32(entry), target = pe.file.u32(entry + 4);
        if (!key || !target) return std::nullopt;
        bool is_named = (*key & 0x80000000u) != 0;
        if (name.empty()) {
            if (!is_named && *key == id) return *target;
            continue;
        }
        if (!is_named) continue;
        std::uint64_t text = base + (*key & 0x7FFFFFFFu);
        auto length = pe.file.u16(text);
        if (!length || *length != name.size()) continue;
        bool same = true;
        for (std::uint32_t c = 0; c < *length && same; ++c) {
            auto unit = pe.file.u16(text + 2 + 2ull * c);
            same = unit && *unit == static_cast<unsigned char>(name[c]);
        }
        if (same) return *target;
    }
    return std::nullopt;
}

bool find_in_pe(const reader& file, embedded_package* found, std::string* problem) {
    auto pe_offset = file.u32(0x3C);
    auto signature = pe_offset ? file.u32(*pe_offset) : std::nullopt;
    if (!signature || *signature != 0x00004550u) return fail(problem, "it has no PE header");
    std::uint64_t coff = *pe_offset + 4ull;
    auto section_count = file.u16(coff + 2), optional_size = file.u16(coff + 16);
    std::uint64_t optional = coff + 20;
    auto magic = file.u16(optional);
    if (!section_count || !optional_size || !magic) return fail(problem, "its PE header is cut short");
    std::uint64_t directories = *magic == 0x20B ? 112 : *magic == 0x10B ? 96 : 0;
    if (directories == 0) return fail(problem, "its PE optional header is of an unknown kind");
    auto directory_count = file.u32(optional + directories - 4);
    if (!directory_count || *directory_count < 3 || directories + 8 * 3 > *optional_size)
        return fail(problem, "it has no resource directory");
    auto resource_rva = file.u32(optional + directories + 16), resource_size = file.u32(optional + directories + 20);
    if (!resource_rva || !resource_size || *resource_rva == 0) return fail(problem, "it has no resources");

    pe_image pe{file, optional + *optional_size, *section_count, *resource_rva};
    auto base = pe.offset_of(*resource_rva, 16);
    if (!base) return fail(problem, "its resource directory lies outside its sections");
    auto type = find_resource_entry(pe, *base, 0, "DATA", 0);
    if (!type || !(*type & 0x80000000u)) return fail(problem, "it has no resources of type DATA");
    for (std::uint32_t id : package_ids) {
        std::string missing = "it has no DATA resource " + std::to_string(id);
        auto name = find_resource_entry(pe, *base, *type & 0x7FFFFFFFu, "", id);
        if (!name || !(*name & 0x80000000u)) return fail(problem, missing);
        // The first language of the resource.
        auto languages = pe.file.u16(*base + (*name & 0x7FFFFFFFu) + 12);
        auto language_ids = pe.file.u16(*base + (*name & 0x7FFFFFFFu) + 14);
        auto data_entry = pe.file.u32(*base + (*name & 0x7FFFFFFFu) + 16 + 4);
        if (!languages || !language_ids || *languages + *language_ids == 0 || !data_entry ||
            (*data_entry & 0x80000000u))
            return fail(problem, missing);
        auto data_rva = file.u32(*base + *data_entry), data_size = file.u32(*base + *data_entry + 4);
        if (!data_rva || !data_size) return fail(problem, missing);
        auto offset = pe.offset_of(*data_rva, *data_size);
        if (!offset) return fail(problem, "its DATA resource " + std::to_string(id) + " lies outside its sections");
        *slot_of(found, id) = file.data.subspan(*offset, *data_size);
    }
    return true;
}

// ELF (32 or 64 bits, little-endian): the symbols give addresses, their
// sections' headers turn them into file offsets.
bool find_in_elf(const reader& file, embedded_package* found, std::string* problem) {
    auto elf_class = file.number(4, 1), encoding = file.number(5, 1);
    if (!elf_class || !encoding || (*elf_class != 1 && *elf_class != 2))
        return fail(problem, "its ELF header is cut short or of an unknown class");
    if (*encoding != 1) return fail(problem, "it is a big-endian ELF file");
    bool wide = *elf_class == 2;
    auto word = [&](std::uint64_t offset) { return wide ? file.u64(offset) : file.number(offset, 4); };
    auto header_offset = word(wide ? 0x28 : 0x20);
    auto header_size = file.u16(wide ? 0x3A : 0x2E), header_count = file.u16(wide ? 0x3C : 0x30);
    if (!header_offset || !header_size || !header_count || *header_size < (wide ? 64u : 40u))
        return fail(problem, "its ELF header is cut short");

    struct section_header {
        std::uint32_t type = 0;
        std::uint64_t address = 0, offset = 0, size = 0, link = 0, entry_size = 0;
    };
    auto section = [&](std::uint32_t index) -> std::optional<section_header> {
        if (index >= *header_count) return std::nullopt;
        std::uint64_t at = *header_offset + std::uint64_t{*header_size} * index;
        auto type = file.u32(at + 4);
        auto address = word(at + (wide ? 0x10 : 0x0C)), offset = word(at + (wide ? 0x18 : 0x10));
        auto size = word(at + (wide ? 0x20 : 0x14));
        auto link = file.u32(at + (wide ? 0x28 : 0x18));
        auto entry_size = word(at + (wide ? 0x38 : 0x24));
        if (!type || !address || !offset || !size || !link || !entry_size) return std::nullopt;
        return section_header{*type, *address, *offset, *size, *link, *entry_size};
    };

    // The bytes at a symbol's address, from the section the symbol lies in.
    auto file_offset = [&](std::uint32_t section_index, std::uint64_t address) -> std::optional<std::uint64_t> {
        auto s = section(section_index);
        if (!s || address < s->address || address - s->address > s->size) return std::nullopt;
        if (s->type == 8) return std::nullopt;  // SHT_NOBITS: nothing in the file
        // The section must lie in the file, so that the sum below cannot wrap.
        if (!file.has(s->offset, s->size)) return std::nullopt;
        return s->offset + (address - s->address);
    };

    struct symbol {
        std::uint32_t section = 0;
        std::uint64_t address = 0;
        bool seen = false;
    };
    std::array<symbol, 6> wanted{};  // start and end of each resource
    auto wanted_index = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < package_ids.size(); ++i) {
            std::string start = "plupdate_resource_" + std::to_string(package_ids[i]);
            if (name == start) return static_cast<int>(2 * i);
            if (name == start + "_end") return static_cast<int>(2 * i + 1);
        }
        return -1;
    };

    bool any_table = false;
    for (std::uint32_t t : {2u, 11u}) {  // SHT_SYMTAB, then SHT_DYNSYM
        for (std::uint32_t i = 0; i < *header_count; ++i) {
            auto table = section(i);
            if (!table) return fail(problem, "its ELF section headers are cut short");
            if (table->type != t) continue;
            auto strings = section(static_cast<std::uint32_t>(table->link));
            std::uint64_t symbol_size = wide ? 24 : 16;
            if (!strings || table->entry_size != symbol_size || !file.has(table->offset, table->size) ||
                !file.has(strings->offset, strings->size))
                return fail(problem, "its ELF symbol table is damaged");
            any_table = true;
            for (std::uint64_t at = table->offset; at + symbol_size <= table->offset + table->size;
                 at += symbol_size) {
                auto name = file.u32(at);
                auto value = word(at + (wide ? 8 : 4));
                auto index = file.u16(at + (wide ? 6 : 14));
                if (!name || !value || !index || *name >= strings->size) continue;
                std::uint64_t text = strings->offset + *name, end = text;
                while (end < strings->offset + strings->size && file.data[end] != 0) ++end;
                std::string_view symbol_name(reinterpret_cast<const char*>(file.data.data() + text), end - text);
                int w = wanted_index(symbol_name);
                if (w >= 0) wanted[static_cast<std::size_t>(w)] = {*index, *value, true};
            }
        }
    }
    if (!any_table) return fail(problem, "it has no ELF symbol table (a stripped executable)");
    for (std::size_t i = 0; i < package_ids.size(); ++i) {
        const symbol& start = wanted[2 * i];
        const symbol& end = wanted[2 * i + 1];
        std::string name = "plupdate_resource_" + std::to_string(package_ids[i]);
        if (!start.seen || !end.seen) return fail(problem, "it has no symbol " + name + (start.seen ? "_end" : ""));
        auto offset = file_offset(start.section, start.address);
        if (start.section != end.section || end.address < start.address || !offset ||
            !file.has(*offset, end.address - start.address))
            return fail(problem, "its symbols " + name + " and " + name + "_end do not enclose bytes of the file");
        *slot_of(found, package_ids[i]) = file.data.subspan(*offset, end.address - start.address);
    }
    return true;
}

}  // namespace

bool find_embedded_package(std::span<const std::uint8_t> image, embedded_package* found, std::string* problem) {
    reader file{image};
    *found = {};
    if (file.has(0, 4) && image[0] == 0x7F && image[1] == 'E' && image[2] == 'L' && image[3] == 'F')
        return find_in_elf(file, found, problem);
    if (file.has(0, 2) && image[0] == 'M' && image[1] == 'Z') return find_in_pe(file, found, problem);
    return fail(problem, "it is neither a Windows (PE) nor an ELF executable");
}

}  // namespace builder
