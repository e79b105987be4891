#include "tools/plpack/embedded_package.h"

#include <array>
#include <optional>

#include "formats/little_endian.h"
#include "tools/plpack/byte_reader.h"

namespace plpack {

namespace {

using bytes = std::span<const std::uint8_t>;

constexpr std::array<std::uint32_t, 3> package_ids = {1000, 1001, 1002};

// PE: the DOS header's pointer to the "PE\0\0" signature, the COFF file
// header after it, then the optional header with its data directories.
constexpr std::uint64_t pe_signature_offset = 0x3C;
constexpr std::uint32_t pe_signature = 0x00004550u;
constexpr std::uint64_t pe_signature_size = 4;
constexpr std::uint64_t coff_section_count = 2;
constexpr std::uint64_t coff_optional_header_size = 16;
constexpr std::uint64_t coff_header_size = 20;
constexpr std::uint32_t optional_magic_pe32 = 0x10B;
constexpr std::uint32_t optional_magic_pe32_plus = 0x20B;
// Where the data directories start in each kind of optional header; the
// number of directories is the field just before them.
constexpr std::uint64_t data_directories_pe32 = 96;
constexpr std::uint64_t data_directories_pe32_plus = 112;
constexpr std::uint64_t data_directory_count_before = 4;
constexpr std::uint64_t data_directory_size = 8;
constexpr std::uint64_t data_directory_length = 4;  // after its address
constexpr std::uint32_t resource_directory_index = 2;
// A section header and its fields.
constexpr std::uint64_t section_header_size = 40;
constexpr std::uint64_t section_virtual_size = 8;
constexpr std::uint64_t section_virtual_address = 12;
constexpr std::uint64_t section_raw_size = 16;
constexpr std::uint64_t section_raw_offset = 20;
// A resource directory: a 16-byte table header whose last two fields count
// the named and the numbered entries that follow, 8 bytes each (name or id,
// then the offset of a subdirectory or a data entry). Offsets count from
// the start of the resource section.
constexpr std::uint64_t resource_table_header_size = 16;
constexpr std::uint64_t resource_table_named_count = 12;
constexpr std::uint64_t resource_table_id_count = 14;
constexpr std::uint64_t resource_entry_size = 8;
constexpr std::uint64_t resource_entry_target = 4;
constexpr std::uint32_t resource_high_bit = 0x80000000u;  // a named entry; a subdirectory
constexpr std::uint32_t resource_offset_mask = 0x7FFFFFFFu;
constexpr std::uint64_t resource_name_units = 2;  // after the name's u16 length
constexpr std::uint64_t resource_data_length = 4;  // after the data's address

// ELF: e_ident's class and data encoding, then the header and table fields
// whose places differ between 32 and 64 bits.
constexpr std::uint64_t elf_class_offset = 4;
constexpr std::uint64_t elf_data_offset = 5;
constexpr std::uint32_t elf_class_32 = 1;
constexpr std::uint32_t elf_class_64 = 2;
constexpr std::uint32_t elf_data_little_endian = 1;
constexpr std::uint64_t elf_section_type = 4;
constexpr std::uint32_t elf_section_symbols = 2;          // SHT_SYMTAB
constexpr std::uint32_t elf_section_no_bits = 8;          // SHT_NOBITS
constexpr std::uint32_t elf_section_dynamic_symbols = 11; // SHT_DYNSYM
constexpr std::uint64_t elf_symbol_name = 0;

struct elf_layout {
    std::uint64_t section_table;         // e_shoff
    std::uint64_t section_header_size;   // e_shentsize
    std::uint64_t section_count;         // e_shnum
    std::uint32_t least_section_header;  // the size of the fields read below
    std::uint64_t section_address, section_offset, section_size, section_link, section_entry_size;
    std::uint64_t symbol_size, symbol_value, symbol_section;
};
constexpr elf_layout elf32 = {.section_table = 0x20,
                              .section_header_size = 0x2E,
                              .section_count = 0x30,
                              .least_section_header = 40,
                              .section_address = 0x0C,
                              .section_offset = 0x10,
                              .section_size = 0x14,
                              .section_link = 0x18,
                              .section_entry_size = 0x24,
                              .symbol_size = 16,
                              .symbol_value = 4,
                              .symbol_section = 14};
constexpr elf_layout elf64 = {.section_table = 0x28,
                              .section_header_size = 0x3A,
                              .section_count = 0x3C,
                              .least_section_header = 64,
                              .section_address = 0x10,
                              .section_offset = 0x18,
                              .section_size = 0x20,
                              .section_link = 0x28,
                              .section_entry_size = 0x38,
                              .symbol_size = 24,
                              .symbol_value = 8,
                              .symbol_section = 6};

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
            std::uint64_t header = sections + section_header_size * i;
            auto virtual_size = file.u32(header + section_virtual_size);
            auto address = file.u32(header + section_virtual_address);
            auto raw_size = file.u32(header + section_raw_size), raw_offset = file.u32(header + section_raw_offset);
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
    auto named = pe.file.u16(base + directory + resource_table_named_count);
    auto ids = pe.file.u16(base + directory + resource_table_id_count);
    if (!named || !ids) return std::nullopt;
    for (std::uint32_t i = 0; i < *named + *ids; ++i) {
        std::uint64_t entry = base + directory + resource_table_header_size + resource_entry_size * i;
        auto key = pe.file.u32(entry), target = pe.file.u32(entry + resource_entry_target);
        if (!key || !target) return std::nullopt;
        bool is_named = (*key & resource_high_bit) != 0;
        if (name.empty()) {
            if (!is_named && *key == id) return *target;
            continue;
        }
        if (!is_named) continue;
        std::uint64_t text = base + (*key & resource_offset_mask);
        auto length = pe.file.u16(text);
        if (!length || *length != name.size()) continue;
        bool same = true;
        for (std::uint32_t c = 0; c < *length && same; ++c) {
            auto unit = pe.file.u16(text + resource_name_units + 2ull * c);
            same = unit && *unit == static_cast<unsigned char>(name[c]);
        }
        if (same) return *target;
    }
    return std::nullopt;
}

bool find_in_pe(const reader& file, embedded_package* found, std::string* problem) {
    auto pe_offset = file.u32(pe_signature_offset);
    auto signature = pe_offset ? file.u32(*pe_offset) : std::nullopt;
    if (!signature || *signature != pe_signature) return fail(problem, "it has no PE header");
    std::uint64_t coff = *pe_offset + pe_signature_size;
    auto section_count = file.u16(coff + coff_section_count);
    auto optional_size = file.u16(coff + coff_optional_header_size);
    std::uint64_t optional = coff + coff_header_size;
    auto magic = file.u16(optional);
    if (!section_count || !optional_size || !magic) return fail(problem, "its PE header is cut short");
    std::uint64_t directories = *magic == optional_magic_pe32_plus ? data_directories_pe32_plus
                                : *magic == optional_magic_pe32    ? data_directories_pe32
                                                                   : 0;
    if (directories == 0) return fail(problem, "its PE optional header is of an unknown kind");
    auto directory_count = file.u32(optional + directories - data_directory_count_before);
    if (!directory_count || *directory_count < resource_directory_index + 1 ||
        directories + data_directory_size * (resource_directory_index + 1) > *optional_size)
        return fail(problem, "it has no resource directory");
    std::uint64_t resource_directory = optional + directories + data_directory_size * resource_directory_index;
    auto resource_rva = file.u32(resource_directory);
    auto resource_size = file.u32(resource_directory + data_directory_length);
    if (!resource_rva || !resource_size || *resource_rva == 0) return fail(problem, "it has no resources");

    pe_image pe{file, optional + *optional_size, *section_count, *resource_rva};
    auto base = pe.offset_of(*resource_rva, resource_table_header_size);
    if (!base) return fail(problem, "its resource directory lies outside its sections");
    auto type = find_resource_entry(pe, *base, 0, "DATA", 0);
    if (!type || !(*type & resource_high_bit)) return fail(problem, "it has no resources of type DATA");
    for (std::uint32_t id : package_ids) {
        std::string missing = "it has no DATA resource " + std::to_string(id);
        auto name = find_resource_entry(pe, *base, *type & resource_offset_mask, "", id);
        if (!name || !(*name & resource_high_bit)) return fail(problem, missing);
        // The first language of the resource.
        std::uint64_t languages_table = *base + (*name & resource_offset_mask);
        auto languages = pe.file.u16(languages_table + resource_table_named_count);
        auto language_ids = pe.file.u16(languages_table + resource_table_id_count);
        auto data_entry = pe.file.u32(languages_table + resource_table_header_size + resource_entry_target);
        if (!languages || !language_ids || *languages + *language_ids == 0 || !data_entry ||
            (*data_entry & resource_high_bit))
            return fail(problem, missing);
        auto data_rva = file.u32(*base + *data_entry), data_size = file.u32(*base + *data_entry + resource_data_length);
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
    auto elf_class = file.u8(elf_class_offset), encoding = file.u8(elf_data_offset);
    if (!elf_class || !encoding || (*elf_class != elf_class_32 && *elf_class != elf_class_64))
        return fail(problem, "its ELF header is cut short or of an unknown class");
    if (*encoding != elf_data_little_endian) return fail(problem, "it is a big-endian ELF file");
    bool wide = *elf_class == elf_class_64;
    const elf_layout& layout = wide ? elf64 : elf32;
    auto word = [&](std::uint64_t offset) -> std::optional<std::uint64_t> {
        if (wide) return file.u64(offset);
        auto value = file.u32(offset);
        return value ? std::optional<std::uint64_t>(*value) : std::nullopt;
    };
    auto header_offset = word(layout.section_table);
    auto header_size = file.u16(layout.section_header_size), header_count = file.u16(layout.section_count);
    if (!header_offset || !header_size || !header_count || *header_size < layout.least_section_header)
        return fail(problem, "its ELF header is cut short");

    struct section_header {
        std::uint32_t type = 0;
        std::uint64_t address = 0, offset = 0, size = 0, link = 0, entry_size = 0;
    };
    auto section = [&](std::uint32_t index) -> std::optional<section_header> {
        if (index >= *header_count) return std::nullopt;
        std::uint64_t at = *header_offset + std::uint64_t{*header_size} * index;
        auto type = file.u32(at + elf_section_type);
        auto address = word(at + layout.section_address), offset = word(at + layout.section_offset);
        auto size = word(at + layout.section_size);
        auto link = file.u32(at + layout.section_link);
        auto entry_size = word(at + layout.section_entry_size);
        if (!type || !address || !offset || !size || !link || !entry_size) return std::nullopt;
        return section_header{*type, *address, *offset, *size, *link, *entry_size};
    };

    // The bytes at a symbol's address, from the section the symbol lies in.
    auto file_offset = [&](std::uint32_t section_index, std::uint64_t address) -> std::optional<std::uint64_t> {
        auto s = section(section_index);
        if (!s || address < s->address || address - s->address > s->size) return std::nullopt;
        if (s->type == elf_section_no_bits) return std::nullopt;  // nothing in the file
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
    for (std::uint32_t t : {elf_section_symbols, elf_section_dynamic_symbols}) {
        for (std::uint32_t i = 0; i < *header_count; ++i) {
            auto table = section(i);
            if (!table) return fail(problem, "its ELF section headers are cut short");
            if (table->type != t) continue;
            auto strings = section(static_cast<std::uint32_t>(table->link));
            if (!strings || table->entry_size != layout.symbol_size || !file.has(table->offset, table->size) ||
                !file.has(strings->offset, strings->size))
                return fail(problem, "its ELF symbol table is damaged");
            any_table = true;
            for (std::uint64_t at = table->offset; at + layout.symbol_size <= table->offset + table->size;
                 at += layout.symbol_size) {
                auto name = file.u32(at + elf_symbol_name);
                auto value = word(at + layout.symbol_value);
                auto index = file.u16(at + layout.symbol_section);
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

}  // namespace plpack
