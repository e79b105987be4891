#include "formats/payload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

// Pieces laid one after another: a length field is written out by hand so
// that the reader's own helpers play no part in the expected bytes.
bytes length_field(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 24)};
}
bytes text(const std::string& s) { return bytes(s.begin(), s.end()); }
bytes record(const std::string& content) {
    bytes r = length_field(static_cast<std::uint32_t>(content.size()));
    bytes t = text(content);
    r.insert(r.end(), t.begin(), t.end());
    return r;
}
bytes joined(std::initializer_list<bytes> pieces) {
    bytes out;
    for (const bytes& p : pieces) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct framing_case {
    const char* name;
    bytes payload;
    std::vector<std::string> records;  // the whole records, in order
    formats::record_read last;         // end, or cut_short after those records
    std::size_t stop;                  // the position where reading stops
};

// Every record up to the end or the cut, each checked to lie inside the
// payload; a record that does not ends the reading with a failure.
std::vector<std::string> read_all(const bytes& payload, std::size_t* position, formats::record_read* result) {
    std::vector<std::string> found;
    const std::span<const std::uint8_t> untouched(payload.data(), std::size_t{0});
    std::span<const std::uint8_t> content = untouched;
    while ((*result = formats::next_payload_record(payload, position, &content)) == formats::record_read::record) {
        if (content.data() < payload.data() || content.size() > payload.size() ||
            content.data() - payload.data() > static_cast<std::ptrdiff_t>(payload.size() - content.size())) {
            ADD_FAILURE() << "record " << found.size() << " reaches outside the payload";
            break;
        }
        found.emplace_back(content.begin(), content.end());
        content = untouched;
    }
    EXPECT_EQ(content.data(), untouched.data()) << "a refused record set the content";
    EXPECT_EQ(content.size(), 0u) << "a refused record set the content";
    return found;
}

TEST(PayloadRecords, ReadsWholeRecordsAndStopsAtACut) {
    const framing_case cases[] = {
        {"empty payload", {}, {}, formats::record_read::end, 0},
        {"one record", record("abc"), {"abc"}, formats::record_read::end, 7},
        {"exact records, an empty one among them", joined({record("abc"), record(""), record("x")}),
         {"abc", "", "x"}, formats::record_read::end, 16},
        {"a lone empty record", record(""), {""}, formats::record_read::end, 4},
        {"length field cut to 1 byte", joined({record("abc"), {0x01}}), {"abc"}, formats::record_read::cut_short, 7},
        {"length field cut to 3 bytes", joined({record("abc"), {0x01, 0x00, 0x00}}), {"abc"},
         formats::record_read::cut_short, 7},
        {"content one byte short", joined({record("ab"), length_field(5), text("abcd")}), {"ab"},
         formats::record_read::cut_short, 6},
        {"content cut in the first record", joined({length_field(2), text("a")}), {}, formats::record_read::cut_short,
         0},
        {"content running to the very end", joined({record("ab"), length_field(4), text("abcd")}), {"ab", "abcd"},
         formats::record_read::end, 14},
        {"length 0xFFFFFFFF in a middle record", joined({record("ab"), length_field(0xFFFFFFFFu), record("cd")}),
         {"ab"}, formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC in a middle record", joined({record("ab"), length_field(0xFFFFFFFCu), record("cd")}),
         {"ab"}, formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFF in the last record", joined({record("ab"), length_field(0xFFFFFFFFu)}), {"ab"},
         formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC in the last record", joined({record("ab"), length_field(0xFFFFFFFCu)}), {"ab"},
         formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC with four bytes after it", joined({length_field(0xFFFFFFFCu), text("wxyz")}), {},
         formats::record_read::cut_short, 0},
    };
    for (const framing_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t position = 0;
        formats::record_read result;
        EXPECT_EQ(read_all(c.payload, &position, &result), c.records);
        EXPECT_EQ(result, c.last);
        EXPECT_EQ(position, c.stop);
        // Asked again, the reader gives the same answer from the same place.
        std::span<const std::uint8_t> content;
        EXPECT_EQ(formats::next_payload_record(c.payload, &position, &content), c.last);
        EXPECT_EQ(position, c.stop);
    }
}

TEST(PayloadRecords, AppendedRecordsReadBack) {
    const std::vector<bytes> contents = {text("abc"), {}, bytes(300, 0xA5), text("x")};
    bytes payload = {};
    for (const bytes& c : contents) formats::append_payload_record(&payload, c);
    EXPECT_EQ(payload, joined({record("abc"), record(""), length_field(300), bytes(300, 0xA5), record("x")}));

    std::size_t position = 0;
    std::span<const std::uint8_t> content;
    for (const bytes& c : contents) {
        ASSERT_EQ(formats::next_payload_record(payload, &position, &content), formats::record_read::record);
        EXPECT_EQ(bytes(content.begin(), content.end()), c);
    }
    EXPECT_EQ(formats::next_payload_record(payload, &position, &content), formats::record_read::end);
}

}  // namespace
