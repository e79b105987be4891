#include "tools/plpack/version_resource.h"

#include <optional>

namespace plpack {

namespace {

constexpr std::uint32_t fixed_info_signature = 0xFEEF04BD;
constexpr std::size_t fixed_product_version_ms = 16;
constexpr int deepest_block = 8;

struct block_node {
    std::u16string key;
    std::uint16_t type = 0;  // 1: the value is text
    std::vector<std::uint8_t> value;
    std::vector<block_node> children;
};

std::uint16_t u16_at(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::size_t align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

// The block at `at` of `bytes` (offsets are from the start of the resource,
// whose padding they follow), or nothing when it runs past its bounds.
std::optional<block_node> read_block(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t limit, int depth,
                                     std::size_t* end) {
    if (depth > deepest_block || at + 6 > limit) return std::nullopt;
    std::size_t length = u16_at(bytes, at), value_length = u16_at(bytes, at + 2);
    block_node node;
    node.type = u16_at(bytes, at + 4);
    if (length < 6 || at + length > limit) return std::nullopt;
    std::size_t stop = at + length, p = at + 6;
    for (;; p += 2) {
        if (p + 2 > stop) return std::nullopt;
        char16_t c = static_cast<char16_t>(u16_at(bytes, p));
        if (c == 0) break;
        node.key.push_back(c);
    }
    p = align4(p + 2);
    std::size_t value_bytes = node.type == 1 ? 2 * value_length : value_length;
    if (p > stop) p = stop;
    if (p + value_bytes > stop) value_bytes = stop - p;
    node.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(p), bytes.begin() + static_cast<std::ptrdiff_t>(p + value_bytes));
    p = align4(p + value_bytes);
    while (p < stop) {
        std::size_t child_end = 0;
        auto child = read_block(bytes, p, stop, depth + 1, &child_end);
        if (!child) return std::nullopt;
        node.children.push_back(std::move(*child));
        p = align4(child_end);
    }
    *end = stop;
    return node;
}

void put_u16(std::vector<std::uint8_t>* out, std::size_t at, std::size_t value) {
    (*out)[at] = static_cast<std::uint8_t>(value);
    (*out)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void write_block(const block_node& node, std::vector<std::uint8_t>* out) {
    std::size_t at = out->size();
    out->resize(at + 6);
    for (char16_t c : node.key) out->insert(out->end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    out->insert(out->end(), {0, 0});
    out->resize(align4(out->size()));
    out->insert(out->end(), node.value.begin(), node.value.end());
    for (const block_node& child : node.children) {
        out->resize(align4(out->size()));
        write_block(child, out);
    }
    put_u16(out, at, out->size() - at);
    put_u16(out, at + 2, node.type == 1 ? node.value.size() / 2 : node.value.size());
    put_u16(out, at + 4, node.type);
}

std::vector<std::uint8_t> text_value(const std::string& text) {
    std::vector<std::uint8_t> value;
    for (char c : text) value.insert(value.end(), {static_cast<std::uint8_t>(c), 0});
    value.insert(value.end(), {0, 0});
    return value;
}

std::optional<block_node> read_version(std::span<const std::uint8_t> block) {
    std::size_t end = 0;
    auto root = read_block(block, 0, block.size(), 0, &end);
    if (!root || root->key != u"VS_VERSION_INFO") return std::nullopt;
    return root;
}

}  // namespace

bool set_product_version(std::span<const std::uint8_t> block, std::uint32_t build, std::vector<std::uint8_t>* out) {
    auto root = read_version(block);
    if (!root) return false;
    std::vector<std::uint8_t>& fixed = root->value;
    if (fixed.size() >= fixed_product_version_ms + 8 && build <= 0xFFFF &&
        (fixed[0] | fixed[1] << 8 | fixed[2] << 16 | static_cast<std::uint32_t>(fixed[3]) << 24) == fixed_info_signature) {
        std::uint32_t words[2] = {build << 16, 0};
        for (std::size_t w = 0; w < 2; ++w)
            for (std::size_t b = 0; b < 4; ++b)
                fixed[fixed_product_version_ms + 4 * w + b] = static_cast<std::uint8_t>(words[w] >> (8 * b));
    }
    for (block_node& info : root->children) {
        if (info.key != u"StringFileInfo") continue;
        for (block_node& table : info.children)
            for (block_node& string : table.children)
                if (string.key == u"ProductVersion") {
                    string.type = 1;
                    string.value = text_value(std::to_string(build));
                }
    }
    out->clear();
    write_block(*root, out);
    return true;
}

std::string version_string(std::span<const std::uint8_t> block, const std::string& key) {
    auto root = read_version(block);
    if (!root) return "";
    std::u16string wanted(key.begin(), key.end());
    for (const block_node& info : root->children) {
        if (info.key != u"StringFileInfo") continue;
        for (const block_node& table : info.children)
            for (const block_node& string : table.children)
                if (string.key == wanted) {
                    std::string text;
                    for (std::size_t i = 0; i + 1 < string.value.size(); i += 2) {
                        char16_t c = static_cast<char16_t>(string.value[i] | string.value[i + 1] << 8);
                        if (c == 0) break;
                        text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
                    }
                    return text;
                }
    }
    return "";
}

}  // namespace plpack
