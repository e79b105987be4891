// The registry as both builds see it after an import of the same .reg
// file: regedit under Wine, the host's own reading of the file.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include "install_fixture.h"
#include "support/test_support.h"

namespace {


constexpr const char* registry_file =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[-HKEY_CURRENT_USER\\Software\\PLUpdate Tests]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\PLUpdate Tests\\Gone]\r\n"
    "\"A\"=\"1\"\r\n"
    "[-HKEY_CURRENT_USER\\Software\\PLUpdate Tests\\Gone]\r\n"
    "\r\n"
    "; A comment line\r\n"
    "[HKEY_CURRENT_USER\\Software\\PLUpdate Tests\\Kept\\Deeper]\r\n"
    "@=\"default\"\r\n"
    "\"Escaped\"=\"a\\\\b\\\"c\"\r\n"
    "\"Dropped\"=\"x\"\r\n"
    "\"Dropped\"=-\r\n"
    "\"Word\"=dword:00000102\r\n"
    "\"Bytes\"=hex:41,42,\\\r\n"
    "  43\r\n"
    "\"Empty\"=\"\"\r\n";

// The value's data, or "absent".
std::string value(const char* subkey, const char* name) {
    platform::registry_key key = nullptr;
    if (!platform::registry_open_key(platform::registry_root::current_user, subkey, &key)) return "no key";
    std::uint32_t size = 0;
    std::string result = "absent";
    if (platform::registry_query_value(key, name, nullptr, &size)) {
        std::string data(size, '\0');
        std::uint32_t stored = size;
        bool read = platform::registry_query_value(key, name, data.data(), &stored) && stored == size;
        result = read ? data : "unreadable";
        // One byte short of the size fails and reports the size needed.
        std::uint32_t short_size = size - 1;
        if (size > 0) {
            EXPECT_FALSE(platform::registry_query_value(key, name, data.data(), &short_size)) << name;
            EXPECT_EQ(short_size, size) << name;
        }
    }
    platform::registry_close_key(key);
    return result;
}

TEST(Registry, ReadsWhatAnImportedRegFileStates) {
    testing_support::scratch_folder folder;
    ASSERT_TRUE(testing_support::write_bytes(folder / "test.reg", testing_support::text_bytes(registry_file)));
    install_testing::import_registry(folder / "test.reg");

    const char* deeper = "Software\\PLUpdate Tests\\Kept\\Deeper";
    using namespace std::string_literals;
    struct value_case {
        const char* subkey;
        const char* name;
        std::string data;
    };
    const value_case cases[] = {
        {deeper, "", "default\0"s},
        {deeper, "Escaped", "a\\b\"c\0"s},  // a string's size counts its NUL
        {"software\\plupdate tests\\KEPT\\deeper", "escaped", "a\\b\"c\0"s},
        {deeper, "Empty", "\0"s},
        {deeper, "Dropped", "absent"},
        {deeper, "Word", "\x02\x01\0\0"s},
        {deeper, "Bytes", "ABC"},
        {"Software\\PLUpdate Tests\\Kept", "", "absent"},  // a key made on the way has no values
        {"Software\\PLUpdate Tests\\Gone", "A", "no key"},
    };
    for (const value_case& c : cases) EXPECT_EQ(value(c.subkey, c.name), c.data) << c.subkey << " / " << c.name;
}

}  // namespace
