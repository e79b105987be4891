// A digest taken piece by piece is the digest of the whole, however the
// data is cut; checked on both builds (libcrypto on the host, BCrypt under
// Wine) against a known value and against the file's digest.
#include "platform/digest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

TEST(Digest, PiecesGiveTheDigestOfTheWhole) {
    std::vector<std::uint8_t> data(70000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
    const std::string whole = platform::sha256_hex(data.data(), data.size());
    const struct {
        const char* name;
        std::vector<std::size_t> pieces;  // sizes, the rest in one last piece
    } cuts[] = {
        {"whole", {}},
        {"empty pieces among others", {0, 1, 0, 63, 64, 65}},
        {"one byte then the rest", {1}},
        {"32000-byte pieces as the expansion writes", {32000, 32000}},
    };
    for (const auto& cut : cuts) {
        platform::unique_digest_stream stream = platform::begin_digest();
        ASSERT_TRUE(stream) << cut.name;
        std::size_t at = 0;
        for (std::size_t n : cut.pieces) {
            platform::add_to_digest(stream.get(), data.data() + at, n);
            at += n;
        }
        platform::add_to_digest(stream.get(), data.data() + at, data.size() - at);
        std::optional<platform::file_digest> digest = platform::finish_digest(stream.get());
        ASSERT_TRUE(digest) << cut.name;
        EXPECT_EQ(digest->size, data.size()) << cut.name;
        EXPECT_EQ(digest->sha256, whole) << cut.name;
    }

    testing_support::scratch_folder folder;
    const std::string path = folder / "data.bin";
    ASSERT_TRUE(testing_support::write_bytes(path, data));
    std::optional<platform::file_digest> of_file = platform::digest_file(path.c_str());
    ASSERT_TRUE(of_file);
    EXPECT_EQ(of_file->sha256, whole);
    EXPECT_EQ(of_file->size, data.size());
}

TEST(Digest, KnownValuesAndAUsedUpStream) {
    EXPECT_EQ(platform::sha256_hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(platform::sha256_hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    platform::unique_digest_stream stream = platform::begin_digest();
    ASSERT_TRUE(stream);
    platform::add_to_digest(stream.get(), "abc", 3);
    ASSERT_TRUE(platform::finish_digest(stream.get()));
    EXPECT_FALSE(platform::finish_digest(stream.get())) << "a stream gives its digest once";
}

}  // namespace
