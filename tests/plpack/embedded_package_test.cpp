#include "tools/plpack/embedded_package.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/test_support.h"

namespace {

using testing_support::bytes;

// This test program carries tests/data/split-package: as DATA resources on
// Windows, between plupdate_resource_<id> symbols on the host.
bytes own_executable() {
    std::string path = TEST_PACKAGE_EXE;
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return testing_support::read_bytes(path);
}

bytes as_bytes(std::span<const std::uint8_t> span) { return bytes(span.begin(), span.end()); }

struct expected_package {
    bytes status = testing_support::read_bytes(testing_support::data_file("split-package/status.ini"));
    bytes manifest = testing_support::read_bytes(testing_support::data_file("split-package/manifest.ini"));
    bytes payload = testing_support::read_bytes(testing_support::data_file("split-package/payload.bin"));
};

// Whatever a damaged image gives, a package found in it lies inside it and
// is the real one.
void expect_found_or_refused(const bytes& image, const expected_package& expected, const std::string& what) {
    plpack::embedded_package found;
    std::string problem;
    if (!plpack::find_embedded_package(image, &found, &problem)) {
        EXPECT_FALSE(problem.empty()) << what;
        return;
    }
    for (auto span : {found.status, found.manifest, found.payload}) {
        EXPECT_GE(span.data(), image.data()) << what;
        EXPECT_LE(span.data() + span.size(), image.data() + image.size()) << what;
    }
    EXPECT_EQ(as_bytes(found.status), expected.status) << what;
    EXPECT_EQ(as_bytes(found.manifest), expected.manifest) << what;
    EXPECT_EQ(as_bytes(found.payload), expected.payload) << what;
}

TEST(FindEmbeddedPackage, FindsTheThreeResourcesOfABuiltProgram) {
    bytes image = own_executable();
    ASSERT_FALSE(image.empty());
    expected_package expected;
    ASSERT_FALSE(expected.payload.empty());
    plpack::embedded_package found;
    std::string problem;
    ASSERT_TRUE(plpack::find_embedded_package(image, &found, &problem)) << problem;
    EXPECT_EQ(as_bytes(found.status), expected.status);
    EXPECT_EQ(as_bytes(found.manifest), expected.manifest);
    EXPECT_EQ(as_bytes(found.payload), expected.payload);
}

// Cut short or with bytes overwritten, the image is refused or read right,
// and never read outside its bytes (the sanitizer build checks that).
TEST(FindEmbeddedPackage, DamagedImagesAreRefusedWithoutReadingOutside) {
    const bytes image = own_executable();
    ASSERT_GT(image.size(), 4096u);
    expected_package expected;
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{0x3C}, std::size_t{0x40},
                            std::size_t{0x80}, std::size_t{0x200}, std::size_t{0x1000}, image.size() / 2,
                            image.size() - 64, image.size() - 1})
        expect_found_or_refused(bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut)), expected,
                                "cut at " + std::to_string(cut));

    // Overwrites in the headers, where every offset and count is read.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        bytes damaged = image;
        std::size_t at = random() % 1024;
        for (std::size_t i = 0; i < 4; ++i) damaged[(at + i) % 1024] = static_cast<std::uint8_t>(random());
        expect_found_or_refused(damaged, expected, "overwritten at " + std::to_string(at));
    }
}

TEST(FindEmbeddedPackage, OtherFilesAreRefusedWithAReason) {
    const struct {
        bytes content;
        const char* reason;
    } cases[] = {
        {testing_support::text_bytes("[Core]\r\nNumFiles=0\r\n"), "neither"},
        {testing_support::text_bytes("MZ"), "PE header"},
        {testing_support::text_bytes("\x7f" "ELF"), "ELF header"},
    };
    for (const auto& c : cases) {
        plpack::embedded_package found;
        std::string problem;
        EXPECT_FALSE(plpack::find_embedded_package(c.content, &found, &problem));
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
}

}  // namespace
