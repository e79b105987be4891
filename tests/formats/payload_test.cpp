#include "formats/payload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using bytes = std::vector<std::uint8_t>;

// Records are built byte by byte by the test support, so that the reader's
// own helpers play no part in the expected bytes.
using testing_support::concat;
using testing_support::text_bytes;
bytes length_field(std::uint32_t n) { return testing_support::payload_length_field(n); }
bytes record(const std::string& content) { return testing_support::payload_record(text_bytes(content)); }

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
        {"exact records, an empty one among them", concat({record("abc"), record(""), record("x")}),
         {"abc", "", "x"}, formats::record_read::end, 16},
        {"a lone empty record", record(""), {""}, formats::record_read::end, 4},
        {"length field cut to 1 byte", concat({record("abc"), {0x01}}), {"abc"}, formats::record_read::cut_short, 7},
        {"length field cut to 3 bytes", concat({record("abc"), {0x01, 0x00, 0x00}}), {"abc"},
         formats::record_read::cut_short, 7},
        {"content one byte short", concat({record("ab"), length_field(5), text_bytes("abcd")}), {"ab"},
         formats::record_read::cut_short, 6},
        {"content cut in the first record", concat({length_field(2), text_bytes("a")}), {}, formats::record_read::cut_short,
         0},
        {"content running to the very end", concat({record("ab"), length_field(4), text_bytes("abcd")}), {"ab", "abcd"},
         formats::record_read::end, 14},
        {"length 0xFFFFFFFF in a middle record", concat({record("ab"), length_field(0xFFFFFFFFu), record("cd")}),
         {"ab"}, formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC in a middle record", concat({record("ab"), length_field(0xFFFFFFFCu), record("cd")}),
         {"ab"}, formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFF in the last record", concat({record("ab"), length_field(0xFFFFFFFFu)}), {"ab"},
         formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC in the last record", concat({record("ab"), length_field(0xFFFFFFFCu)}), {"ab"},
         formats::record_read::cut_short, 6},
        {"length 0xFFFFFFFC with four bytes after it", concat({length_field(0xFFFFFFFCu), text_bytes("wxyz")}), {},
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
    const std::vector<bytes> contents = {text_bytes("abc"), {}, bytes(300, 0xA5), text_bytes("x")};
    bytes payload = {};
    for (const bytes& c : contents) formats::append_payload_record(&payload, c);
    EXPECT_EQ(payload, concat({record("abc"), record(""), length_field(300), bytes(300, 0xA5), record("x")}));

    std::size_t position = 0;
    std::span<const std::uint8_t> content;
    for (const bytes& c : contents) {
        ASSERT_EQ(formats::next_payload_record(payload, &position, &content), formats::record_read::record);
        EXPECT_EQ(bytes(content.begin(), content.end()), c);
    }
    EXPECT_EQ(formats::next_payload_record(payload, &position, &content), formats::record_read::end);
}

}  // namespace
