// One table of cases for both builds: the Windows build runs them against
// the system's profile functions (under Wine), the host build against its
// own implementation, and both must give the same answers.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/files.h"
#include "support/test_support.h"

namespace {

using testing_support::read_bytes;
using testing_support::scratch_folder;
using testing_support::text_bytes;
using testing_support::write_bytes;

using testing_support::text_of;

struct string_case {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    const char* fallback;
    int capacity;
    std::string expected;
};

TEST(ProfileRead, StringTable) {
    const std::string long_value = std::string(253, 'v') + "XY" + std::string(45, 'w');
    const string_case cases[] = {
        {"plain value", "[S]\r\nKey=Value\r\n", "S", "Key", "dflt", 256, "Value"},
        {"names without regard to letter case", "[core]\r\nfile1dest=a\r\n", "Core", "File1Dest", "dflt", 256, "a"},
        {"blanks around name and value", "[S]\r\n  Key  =  Value  \r\n", "S", "Key", "dflt", 256, "Value"},
        {"tabs around name and value", "[S]\r\n\tKey\t=\tValue\t\r\n", "S", "Key", "dflt", 256, "Value"},
        {"blanks inside the brackets", "  [ S ]  \r\nKey=V\r\n", "S", "Key", "dflt", 256, "V"},
        {"blanks around the names asked for", "[S]\r\nKey=V\r\n", " S ", "  Key ", "dflt", 256, "V"},
        {"inner blanks kept", "[S]\r\nKey=a  b\r\n", "S", "Key", "dflt", 256, "a  b"},
        {"value holding =", "[S]\r\nA=b=c\r\n", "S", "A", "dflt", 256, "b=c"},
        {"double quotes dropped", "[S]\r\nKey=\"Value\"\r\n", "S", "Key", "dflt", 256, "Value"},
        {"single quotes dropped", "[S]\r\nKey='Value'\r\n", "S", "Key", "dflt", 256, "Value"},
        {"quotes keep inner blanks", "[S]\r\nKey=\" a b \"\r\n", "S", "Key", "dflt", 256, " a b "},
        {"quotes outside blanks", "[S]\r\nKey= \"x\" \r\n", "S", "Key", "dflt", 256, "x"},
        {"empty quotes", "[S]\r\nKey=\"\"\r\n", "S", "Key", "dflt", 256, ""},
        {"opening quote only", "[S]\r\nKey=\"Value\r\n", "S", "Key", "dflt", 256, "\"Value"},
        {"closing quote only", "[S]\r\nKey=Value\"\r\n", "S", "Key", "dflt", 256, "Value\""},
        {"unlike quotes", "[S]\r\nKey=\"Value'\r\n", "S", "Key", "dflt", 256, "\"Value'"},
        {"a lone quote", "[S]\r\nKey=\"\r\n", "S", "Key", "dflt", 256, "\""},
        {"quote inside", "[S]\r\nKey=\"a\"b\"\r\n", "S", "Key", "dflt", 256, "a\"b"},
        {"text after the closing quote", "[S]\r\nKey=\"x\" y\r\n", "S", "Key", "dflt", 256, "\"x\" y"},
        {"empty value is not the default", "[S]\r\nA=\r\n", "S", "A", "dflt", 256, ""},
        {"line without =", "[S]\r\nA\r\n", "S", "A", "dflt", 256, "dflt"},
        {"first of two keys", "[S]\r\nA=1\r\nA=2\r\n", "S", "A", "dflt", 256, "1"},
        {"first of two sections", "[S]\r\nA=1\r\n[T]\r\nA=9\r\n[s]\r\nA=2\r\nB=3\r\n", "S", "A", "dflt", 256, "1"},
        {"second section of a name unseen", "[S]\r\nA=1\r\n[T]\r\nA=9\r\n[s]\r\nA=2\r\nB=3\r\n", "S", "B", "dflt",
         256, "dflt"},
        {"commented-out key", "[S]\r\n;A=1\r\n", "S", "A", "dflt", 256, "dflt"},
        {"comment line", "[S]\r\n; A comment = none\r\nA=2\r\n", "S", "A", "dflt", 256, "2"},
        {"text after the header", "[S] ; note\r\nA=1\r\n", "S", "A", "dflt", 256, "1"},
        {"header up to the last bracket", "[S]]\r\nA=1\r\n", "S]", "A", "dflt", 256, "1"},
        {"no closing bracket: no header", "[S]\r\nA=1\r\n[T\r\nB=2\r\n", "S", "B", "dflt", 256, "2"},
        {"keys before any header", "A=0\r\n[S]\r\nA=1\r\n", "", "A", "dflt", 256, "0"},
        {"LF line ends", "[S]\nA=lf\n", "S", "A", "dflt", 256, "lf"},
        {"CR line ends", "[S]\rA=cr\r", "S", "A", "dflt", 256, "cr"},
        {"no final line break", "[S]\r\nA=end", "S", "A", "dflt", 256, "end"},
        {"Ctrl-Z is a blank", "[S]\r\nA=a\x1a\r\n\x1a", "S", "A", "dflt", 256, "a"},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[S]\r\nA=1\r\n", "S", "A", "dflt", 256, "1"},
        {"missing section", "[S]\r\nA=1\r\n", "T", "A", "dflt", 256, "dflt"},
        {"missing key", "[S]\r\nA=1\r\n", "S", "B", "dflt", 256, "dflt"},
        {"default loses trailing spaces", "[S]\r\n", "S", "B", "x  ", 256, "x"},
        {"default keeps leading spaces and tabs", "[S]\r\n", "S", "B", "  x\t", 256, "  x\t"},
        {"default of one space", "[S]\r\n", "S", "B", " ", 256, " "},
        {"no default", "[S]\r\n", "S", "B", nullptr, 256, ""},
        {"value cut to capacity - 1", "[S]\r\nA=" + long_value + "\r\n", "S", "A", "", 255, long_value.substr(0, 254)},
        {"quoted value cut", "[S]\r\nA=\"" + long_value + "\"\r\n", "S", "A", "", 255, long_value.substr(0, 254)},
        // The system drops the closing quote by cutting the last character
        // copied: one place short, it cuts the text's own last character.
        {"quoted value one longer than the buffer", "[S]\r\nA=\"abc\"\r\n", "S", "A", "", 4, "ab"},
        {"quoted value as long as the buffer", "[S]\r\nA=\"abc\"\r\n", "S", "A", "", 5, "abc"},
        {"quoted value filling the buffer", "[S]\r\nA=\"abc\"\r\n", "S", "A", "", 3, "ab"},
        {"quoted 254 characters in 255", "[S]\r\nA=\"" + long_value.substr(0, 254) + "\"\r\n", "S", "A", "", 255,
         long_value.substr(0, 253)},
        {"one quoted character in 2", "[S]\r\nA='v'\r\n", "S", "A", "", 2, ""},
        {"capacity 1", "[S]\r\nA=1\r\n", "S", "A", "dflt", 1, ""},
        {"default cut", "[S]\r\n", "S", "B", "xyz", 2, "x"},
    };
    scratch_folder folder;
    int n = 0;
    for (const string_case& c : cases) {
        std::string file = folder / (std::string("s") + std::to_string(n++) + ".ini");
        ASSERT_TRUE(write_bytes(file, text_bytes(c.content))) << c.name;
        std::vector<char> buffer(static_cast<std::size_t>(c.capacity) + 8, '#');
        int length = platform::read_profile_string(c.section, c.key, c.fallback, buffer.data(), c.capacity,
                                                   file.c_str());
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.name;
        EXPECT_EQ(length, static_cast<int>(c.expected.size())) << c.name;
    }
}

TEST(ProfileRead, MissingFileGivesDefaults) {
    scratch_folder folder;
    std::string file = folder / "absent.ini";
    char buffer[16];
    EXPECT_EQ(platform::read_profile_string("S", "A", "dflt", buffer, sizeof buffer, file.c_str()), 4);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(platform::read_profile_int("General", "TotalFiles", -1, file.c_str()), 0xFFFFFFFFu);
    EXPECT_TRUE(platform::read_profile_keys("S", file.c_str()).empty());
    EXPECT_FALSE(testing_support::exists(file));
}

struct int_case {
    const char* value;  // nullptr: a line "A" without "="
    std::uint32_t expected;
};

TEST(ProfileRead, IntegerTable) {
    const int_case cases[] = {
        {"12", 12},
        {"4294967295", 4294967295u},
        {" 42 ", 42},
        {"\t9", 9},
        {"+7", 7},
        {"-5", static_cast<std::uint32_t>(-5)},
        {"-2147483648", 2147483648u},
        {"- 5", 0},
        {"--5", 0},
        {"-", 0},
        {"12abc", 12},
        {"1.5", 1},
        {"5 6", 5},
        {"1e3", 1},
        {"abc", 0},
        {"\"", 0},
        {"\"12\"", 12},
        {"' 12'", 12},
        {"010", 10},
        {"0x10", 16},
        {"0x1G", 1},
        {"-0x10", static_cast<std::uint32_t>(-16)},
        {"0X10", 0},
        {"0x", 0},
        {"0o17", 15},
        {"0b101", 5},
        {"4294967296", 0},
        {"99999999999", 1215752191},
        // The value is read into 30 characters: these digits stop after 29.
        {"00000000000000000000000000000042", 0},
        {"12345678901234567890123456789", 1849262357},
        {"123456789012345678901234567890123", 1849262357},
        {"", static_cast<std::uint32_t>(-7)},
        {"\"\"", static_cast<std::uint32_t>(-7)},
        {nullptr, static_cast<std::uint32_t>(-7)},
    };
    scratch_folder folder;
    int n = 0;
    for (const int_case& c : cases) {
        std::string file = folder / (std::string("i") + std::to_string(n++) + ".ini");
        std::string content = c.value ? std::string("[S]\r\nA=") + c.value + "\r\n" : "[S]\r\nA\r\n";
        ASSERT_TRUE(write_bytes(file, text_bytes(content)));
        EXPECT_EQ(platform::read_profile_int("S", "A", -7, file.c_str()), c.expected)
            << (c.value ? c.value : "(no =)");
        EXPECT_EQ(platform::read_profile_int("S", "B", -7, file.c_str()), static_cast<std::uint32_t>(-7));
    }
}

struct keys_case {
    const char* name;
    std::string content;
    const char* section;
    std::vector<std::string> expected;
};

TEST(ProfileRead, SectionKeys) {
    std::string many = "[Core]\r\n";
    std::vector<std::string> many_keys;
    for (int i = 1; i <= 600; ++i) {
        many_keys.push_back("File" + std::to_string(i) + "Flag");
        many += many_keys.back() + "=2\r\n";
    }
    const keys_case cases[] = {
        {"keys with values, comments left out", "[S]\r\n;A=1\r\n#B=2\r\n C = 3 \r\nD\r\nE=\r\n[T]\r\nF=1\r\n", "s",
         {"#B", "C", "E"}},
        {"first of two sections", "[S]\r\nA=1\r\n[T]\r\nB=1\r\n[S]\r\nC=1\r\n", "S", {"A"}},
        {"missing section", "[S]\r\nA=1\r\n", "T", {}},
        {"empty section", "[S]\r\n[T]\r\nA=1\r\n", "S", {}},
        {"more than fit a first buffer", many, "Core", many_keys},
    };
    scratch_folder folder;
    int n = 0;
    for (const keys_case& c : cases) {
        std::string file = folder / (std::string("k") + std::to_string(n++) + ".ini");
        ASSERT_TRUE(write_bytes(file, text_bytes(c.content)));
        EXPECT_EQ(platform::read_profile_keys(c.section, file.c_str()), c.expected) << c.name;
    }
}

struct write_case {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(ProfileWrite, Table) {
    const std::string three = "[A]\r\nX=1\r\n[S]\r\nK=old\r\nL=2\r\n[B]\r\nY=3\r\n";
    const write_case cases[] = {
        {"value replaced in place", three, "S", "K", "new", "[A]\r\nX=1\r\n[S]\r\nK=new\r\nL=2\r\n[B]\r\nY=3\r\n"},
        {"key added at the end of its section", three, "S", "M", "4",
         "[A]\r\nX=1\r\n[S]\r\nK=old\r\nL=2\r\nM=4\r\n[B]\r\nY=3\r\n"},
        {"section added at the end", three, "Status", "CurStat", "3", three + "[Status]\r\nCurStat=3\r\n"},
        {"names kept as the file spells them", three, "s", "k", "new",
         "[A]\r\nX=1\r\n[S]\r\nK=new\r\nL=2\r\n[B]\r\nY=3\r\n"},
        {"empty value", three, "S", "K", "", "[A]\r\nX=1\r\n[S]\r\nK=\r\nL=2\r\n[B]\r\nY=3\r\n"},
        {"leading blanks of the value dropped", three, "S", "K", "  lead",
         "[A]\r\nX=1\r\n[S]\r\nK=lead\r\nL=2\r\n[B]\r\nY=3\r\n"},
        {"same value", three, "B", "Y", "3", three},
        {"missing file created", std::nullopt, "Status", "CurStat", "4", "[Status]\r\nCurStat=4\r\n"},
        {"empty file", "", "Status", "CurStat", "4", "[Status]\r\nCurStat=4\r\n"},
        {"first of two keys", "[S]\r\nA=1\r\nA=2\r\n", "S", "A", "v", "[S]\r\nA=v\r\nA=2\r\n"},
        {"new key in the first of two sections", "[S]\r\nA=1\r\n[T]\r\nB=1\r\n[S]\r\nB=2\r\n", "S", "B", "v",
         "[S]\r\nA=1\r\nB=v\r\n[T]\r\nB=1\r\n[S]\r\nB=2\r\n"},
        {"line without = gets the value", "[S]\r\nK\r\nL=1\r\n", "S", "K", "v", "[S]\r\nK=v\r\nL=1\r\n"},
        {"new key after a trailing comment", "[S]\r\nA=1\r\n; end of S\r\n[T]\r\nB=2\r\n", "S", "C", "v",
         "[S]\r\nA=1\r\n; end of S\r\nC=v\r\n[T]\r\nB=2\r\n"},
        {"new key in an empty section", "[S]\r\n[T]\r\nB=2\r\n", "S", "C", "v", "[S]\r\nC=v\r\n[T]\r\nB=2\r\n"},
        {"new key, file without a final break", "[S]\r\nK=1", "S", "L", "v", "[S]\r\nK=1\r\nL=v\r\n"},
        {"new section, file without a final break", "[S]\r\nK=1", "T", "L", "v", "[S]\r\nK=1\r\n[T]\r\nL=v\r\n"},
    };
    scratch_folder folder;
    int n = 0;
    for (const write_case& c : cases) {
        std::string file = folder / (std::string("w") + std::to_string(n++) + ".ini");
        if (c.before) {
            ASSERT_TRUE(write_bytes(file, text_bytes(*c.before))) << c.name;
        }
        EXPECT_TRUE(platform::write_profile_string(c.section, c.key, c.value, file.c_str())) << c.name;
        EXPECT_EQ(text_of(read_bytes(file)), c.after) << c.name;
    }
}

TEST(ProfileWrite, ReadsBackWhatItWrote) {
    scratch_folder folder;
    std::string file = folder / "PLUpdate.ini";
    const char* values[] = {"3", "4", "-2147483648", "Pelora9.exe -open \"C:\\My Files\\a.pld\""};
    for (const char* value : values) {
        ASSERT_TRUE(platform::write_profile_string("Status", "Value", value, file.c_str()));
        char buffer[2000];
        platform::read_profile_string("status", "value", "", buffer, sizeof buffer, file.c_str());
        EXPECT_STREQ(buffer, value);
    }
    EXPECT_EQ(platform::read_profile_int("Status", "Value", 0, file.c_str()), 0u);
    ASSERT_TRUE(platform::write_profile_string("Status", "Value", "-3", file.c_str()));
    EXPECT_EQ(static_cast<int>(platform::read_profile_int("Status", "Value", 0, file.c_str())), -3);
}

TEST(ProfileWrite, FailsWithoutItsFolder) {
    scratch_folder folder;
    std::string file = folder / "missing\\PLUpdate.ini";
    EXPECT_FALSE(platform::write_profile_string("Status", "CurStat", "3", file.c_str()));
    EXPECT_FALSE(testing_support::exists(file));
}

// A section read at once must answer every key as the per-key calls do
// (on Windows these are the system's own): each profile below is asked
// for every key it holds and a few it does not, in several sections, with
// several defaults and with buffers from one character to past the value.
struct section_case {
    const char* name;
    std::string content;
    std::vector<const char*> sections;
    std::vector<std::string> keys;
};

TEST(ProfileSection, SameAnswersAsKeyByKey) {
    const std::string long_value = std::string(253, 'v') + "XY" + std::string(45, 'w');
    const section_case cases[] = {
        {"quotes",
         "[S]\r\nQ1=\"Value\"\r\nQ2='v'\r\nQ3=\" a b \"\r\nQ4=\"\r\nQ5=\"\"\r\nQ6=\"x'\r\nQ7=\"a\"b\"\r\n"
         "Q8= \"x\" \r\nQ9=\"x\" y\r\nQ10=x\"\r\nQ11=''\r\n",
         {"S"},
         {"Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", "Q10", "Q11"}},
        {"duplicate keys and sections", "[S]\r\nA=1\r\na=2\r\n[T]\r\nA=9\r\n[s]\r\nA=3\r\nB=4\r\n[T]\r\nC=5\r\n",
         {"S", "s", "T", "U"},
         {"A", "a", "B", "C"}},
        {"comments, bare lines, blanks",
         "[S]\r\n;A=1\r\n; c = d\r\nB\r\nB=2\r\nC=3\r\n  D  =  4 \r\nE=\r\n=orphan\r\n\tF\t=\tf\t\r\nG = a  b\r\n"
         "#H=8\r\n",
         {"S"},
         {"A", "B", "C", "D", "E", "F", "G", "#H", " D ", "\tC"}},
        {"integers",
         "[S]\r\nI1=12\r\nI2= -5\r\nI3=0x1F\r\nI4=0o17\r\nI5=0b101\r\nI6=12abc\r\nI7=99999999999\r\n"
         "I8=00000000000000000000000000000042\r\nI9=\"12\"\r\nI10=\r\nI11=abc\r\nI12=+7\r\nI13=-0x10\r\nI14\r\n"
         "I15=12345678901234567890123456789\r\n",
         {"S"},
         {"I1", "I2", "I3", "I4", "I5", "I6", "I7", "I8", "I9", "I10", "I11", "I12", "I13", "I14", "I15"}},
        {"letter case", "[CoRe]\r\nFILE1DEST=Up\r\nfile1cab=low\r\nFile1Flag=2\r\n", {"Core", "CORE", "core"},
         {"File1Dest", "file1dest", "FILE1CAB", "File1Flag"}},
        {"lengths",
         "[S]\r\nL1=" + long_value + "\r\nL2=\"" + long_value + "\"\r\nL3=" + long_value.substr(0, 254) +
             "\r\nL4=\"" + long_value.substr(0, 254) + "\"\r\nL5=\"" + long_value.substr(0, 253) + "\"\r\nL6=" +
             long_value.substr(0, 255) + "\r\nL7=\"abc\"\r\nL8=abc\r\n",
         {"S"},
         {"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8"}},
        {"line ends and headers",
         "\xEF\xBB\xBF[S] ; note\nA=lf\rB=cr\r\n  [ T ]  \r\nC=c\x1a\r\n[U]]\r\nD=d\r\n[V\r\nE=e\r\n[W]\r\nF=end",
         {"S", "T", "U]", "W", "V"},
         {"A", "B", "C", "D", "E", "F"}},
    };
    const std::vector<const char*> defaults = {"dflt", "x  ", " ", nullptr};
    const int capacities[] = {1, 2, 3, 4, 5, 30, 253, 254, 255, 256, 257, 300, 301, 302, 1000};
    scratch_folder folder;
    int n = 0;
    for (const section_case& c : cases) {
        std::string file = folder / (std::string("q") + std::to_string(n++) + ".ini");
        ASSERT_TRUE(write_bytes(file, text_bytes(c.content))) << c.name;
        for (const char* section : c.sections) {
            auto values = platform::read_profile_section(section, file.c_str());
            std::vector<std::string> keys = c.keys;
            keys.push_back("Missing");
            for (const std::string& key : keys) {
                std::string where = std::string(c.name) + ": [" + section + "] " + key;
                EXPECT_EQ(platform::section_int(*values, key.c_str(), -7),
                          platform::read_profile_int(section, key.c_str(), -7, file.c_str()))
                    << where;
                for (const char* fallback : defaults) {
                    for (int capacity : capacities) {
                        std::vector<char> by_key(static_cast<std::size_t>(capacity) + 8, '#');
                        std::vector<char> by_section = by_key;
                        int key_length = platform::read_profile_string(section, key.c_str(), fallback, by_key.data(),
                                                                       capacity, file.c_str());
                        int section_length = platform::section_string(*values, key.c_str(), fallback,
                                                                      by_section.data(), capacity);
                        EXPECT_EQ(section_length, key_length) << where << " capacity " << capacity;
                        EXPECT_EQ(std::string(by_section.data()), std::string(by_key.data()))
                            << where << " capacity " << capacity;
                    }
                }
            }
        }
    }
}

TEST(ProfileSection, MissingFileOrSectionIsEmpty) {
    scratch_folder folder;
    std::string file = folder / "absent.ini";
    EXPECT_TRUE(platform::read_profile_section("S", file.c_str())->keys.empty());
    EXPECT_FALSE(testing_support::exists(file));
    ASSERT_TRUE(write_bytes(file, text_bytes("[S]\r\nA=1\r\n")));
    EXPECT_TRUE(platform::read_profile_section("T", file.c_str())->keys.empty());
}

// Reads follow the file however it changes, at once: rewritten with the
// same size within the same clock tick, written by the profile calls,
// grown, removed.
TEST(ProfileSection, ReadsTheFileAsItIsNow) {
    scratch_folder folder;
    std::string file = folder / "status.ini";
    auto both = [&](const char* key) {
        char by_key[64], by_section[64];
        platform::read_profile_string("S", key, "none", by_key, sizeof by_key, file.c_str());
        platform::section_string(*platform::read_profile_section("S", file.c_str()), key, "none", by_section,
                                 sizeof by_section);
        EXPECT_STREQ(by_section, by_key) << key;
        return std::string(by_section);
    };
    for (int round = 0; round < 20; ++round) {
        std::string digit = std::to_string(round % 10);
        ASSERT_TRUE(write_bytes(file, text_bytes("[S]\r\nA=" + digit + "\r\n")));
        EXPECT_EQ(both("A"), digit) << "round " << round;
        ASSERT_TRUE(platform::write_profile_string("S", "B", digit.c_str(), file.c_str()));
        EXPECT_EQ(both("B"), digit) << "round " << round;
        EXPECT_EQ(both("A"), digit) << "round " << round;
    }
    ASSERT_TRUE(write_bytes(file, text_bytes("[S]\r\nA=longer\r\n")));
    EXPECT_EQ(both("A"), "longer");
    EXPECT_EQ(both("B"), "none");
    ASSERT_TRUE(platform::delete_file(file.c_str()));
    EXPECT_EQ(both("A"), "none");
}

#ifndef _WIN32
// The host's own promise beyond the shared table: lines it does not write
// stay byte for byte, blank lines, blanks around "=" and LF ends included.
TEST(ProfileWrite, HostLeavesEveryOtherByte) {
    const write_case cases[] = {
        {"replaced line only", "[A]\n x = 1 \n\n[S]\r\n  K =  old \r\n\r\n; c\r\n[B]\nY=3", "S", "K", "new",
         "[A]\n x = 1 \n\n[S]\r\nK=new\r\n\r\n; c\r\n[B]\nY=3"},
        {"new key before the blank lines ending its section", "[S]\nA = 1\n\n\n[T]\nB=2\n", "S", "C", "v",
         "[S]\nA = 1\nC=v\r\n\n\n[T]\nB=2\n"},
        {"new section after trailing blank lines", "[S]\nA = 1\n\n", "T", "B", "v", "[S]\nA = 1\n\n[T]\r\nB=v\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[S]\r\nA=1\r\n", "S", "A", "2", "\xEF\xBB\xBF[S]\r\nA=2\r\n"},
    };
    scratch_folder folder;
    int n = 0;
    for (const write_case& c : cases) {
        std::string file = folder / (std::string("h") + std::to_string(n++) + ".ini");
        ASSERT_TRUE(write_bytes(file, text_bytes(*c.before))) << c.name;
        EXPECT_TRUE(platform::write_profile_string(c.section, c.key, c.value, file.c_str())) << c.name;
        EXPECT_EQ(text_of(read_bytes(file)), c.after) << c.name;
    }
}

TEST(ProfileWrite, HostRefusesLineBreaksInValues) {
    scratch_folder folder;
    std::string file = folder / "a.ini";
    ASSERT_TRUE(write_bytes(file, text_bytes("[S]\r\nA=1\r\n")));
    EXPECT_FALSE(platform::write_profile_string("S", "A", "2\r\n[T]", file.c_str()));
    EXPECT_EQ(text_of(read_bytes(file)), "[S]\r\nA=1\r\n");
}
#endif

}  // namespace
