// Names between UTF-8 and the Windows ANSI code pages: every byte of each
// code page comes back as itself, and what a code page cannot spell, or
// what is not UTF-8, becomes '?' and is told.
#include "formats/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CodePage, EveryByteRoundTrips) {
    for (int code_page : {1250, 1251, 1252}) {
        std::string all;
        for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
        bool spelt = false;
        EXPECT_EQ(formats::utf8_to_code_page(formats::code_page_to_utf8(all, code_page), code_page, &spelt), all)
            << code_page;
        EXPECT_TRUE(spelt) << code_page;
    }
}

TEST(CodePage, KnownCharacters) {
    struct example {
        int code_page;
        const char* utf8;
        const char* spelt;
    };
    const example examples[] = {
        {1252, "caf\xC3\xA9.dat", "caf\xE9.dat"},          // é
        {1252, "\xE2\x82\xAC", "\x80"},                     // € in the 0x80 row
        {1251, "\xD1\x91\xD0\xB6", "\xB8\xE6"},             // ёж
        {1250, "\xC5\x81\xC3\xB3\xC5\xBA", "\xA3\xF3\x9F"},  // Łóź
    };
    for (const example& e : examples) {
        bool spelt = false;
        EXPECT_EQ(formats::utf8_to_code_page(e.utf8, e.code_page, &spelt), e.spelt) << e.utf8;
        EXPECT_TRUE(spelt) << e.utf8;
        EXPECT_EQ(formats::code_page_to_utf8(e.spelt, e.code_page), e.utf8) << e.utf8;
    }
}

TEST(CodePage, WhatCannotBeSpeltBecomesQuestionMarks) {
    struct example {
        int code_page;
        const char* utf8;
        const char* shown;
    };
    const example examples[] = {
        {1252, "\xE6\x97\xA5\xE6\x9C\xAC.dat", "??.dat"},  // 日本: not in the code page
        {1251, "caf\xC3\xA9", "caf?"},                      // é is not in Windows-1251
        {1252, "a\xE9z", "a?z"},                            // Latin-1 byte, not UTF-8
        {1252, "\xC0\xAF", "??"},                           // overlong '/'
        {1252, "\xED\xA0\x80", "???"},                      // a surrogate
        {1252, "\xF0\x9F\x98\x80!", "?!"},                  // four bytes, outside the code page
        {1252, "\xC3", "?"},                                // cut short
    };
    for (const example& e : examples) {
        bool spelt = true;
        EXPECT_EQ(formats::utf8_to_code_page(e.utf8, e.code_page, &spelt), e.shown) << e.utf8;
        EXPECT_FALSE(spelt) << e.utf8;
    }
}

TEST(CodePage, OnlyTheKnownOnes) {
    EXPECT_TRUE(formats::code_page_known(1252));
    EXPECT_FALSE(formats::code_page_known(65001));
    EXPECT_FALSE(formats::code_page_known(0));
}

}  // namespace
