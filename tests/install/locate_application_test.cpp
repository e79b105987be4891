#include "install/locate_application.h"

#include <gtest/gtest.h>

#include <cstring>

#include "install_fixture.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace {

using install_testing::accepted_image;
using install_testing::dialog_answers;
using install_testing::place_file;
using install_testing::unknown_image;
using install_testing::use_registry;
using testing_support::message_recorder;
using strings = std::vector<std::string>;

using ReadRegistryValue = ::testing::Test;

TEST_F(ReadRegistryValue, AValueOfExactlyTheBufferSizeFitsOneByteMoreIsAbsent) {
    use_registry("long_values.reg");
    struct read_case {
        const char* subkey;
        const char* name;
        bool found;
        std::uint32_t length_after;
    };
    const read_case cases[] = {
        {"Software\\PLUpdate Tests", "Fits", true, 1024},
        {"software\\plupdate tests", "FITS", true, 1024},  // letter case does not matter
        {"Software\\PLUpdate Tests", "TooLong", false, 1024},
        {"Software\\PLUpdate Tests", "Missing", false, 1024},
        {"Software\\PLUpdate Tests", "", false, 1024},  // the key has no default value
        {"Software\\PLUpdate Tests Missing", "Fits", false, 1024},
        {"Software", "Fits", false, 1024},  // a key above is no key with the value
    };
    for (const read_case& c : cases) {
        SCOPED_TRACE(std::string(c.subkey) + " / " + c.name);
        char buffer[1024];
        std::memset(buffer, '#', sizeof buffer);
        std::uint32_t length = sizeof buffer;
        auto root = platform::registry_root::current_user;
        EXPECT_EQ(install::read_registry_value(root, c.subkey, c.name, buffer, &length), c.found);
        EXPECT_EQ(length, c.length_after);
        if (c.found) {
            EXPECT_EQ(install::registry_text(buffer, length), std::string(1023, 'x'));
        } else {
            EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(1024, '#')) << "buffer touched";
        }
    }
}

TEST_F(ReadRegistryValue, ReportsTheBytesStoredAndTakesTheDefaultValueByEmptyName) {
    use_registry("quoted.reg");
    char buffer[1024];
    std::uint32_t length = sizeof buffer;
    ASSERT_TRUE(install::read_registry_value(platform::registry_root::classes_root, install::locate_keys[0], "",
                                             buffer, &length));
    const std::string command = "\"C:\\Apps\\P9\\Pelora9.exe\" \"%1\"";
    EXPECT_EQ(length, command.size() + 1);
    EXPECT_EQ(std::string(buffer), command);

    length = sizeof buffer;
    ASSERT_TRUE(install::read_registry_value(platform::registry_root::local_machine,
                                             "Software\\Ostrand\\Pelora 8\\Dictionaries", "Dict_Dir", buffer,
                                             &length));
    EXPECT_EQ(std::string(buffer), "D:\\Dictionaries\\");
}

TEST(RegistryText, EndsAtTheFirstNulOrWithTheData) {
    const char data[] = {'a', 'b', '\0', 'c', 'd'};
    EXPECT_EQ(install::registry_text(data, 5), "ab");
    EXPECT_EQ(install::registry_text(data, 2), "ab");  // no NUL: no reading past the data
    EXPECT_EQ(install::registry_text(data, 0), "");
}

TEST(FolderOfCommand, DropsOneLeadingQuoteAndCutsAfterTheLastBackslash) {
    struct folder_case {
        const char* command;
        bool found;
        const char* folder;
    };
    const folder_case cases[] = {
        {"\"C:\\Apps\\P9\\Pelora9.exe\" \"%1\"", true, "C:\\Apps\\P9\\"},
        {"C:\\Apps\\P9\\Pelora9.exe -p Apps\\Q", true, "C:\\Apps\\P9\\Pelora9.exe -p Apps\\"},
        {"\"\"C:\\P\\Pelora9.exe\"", true, "\"C:\\P\\"},  // only one quote goes
        {"C:\\Pelora9.exe", true, "C:\\"},
        {"\\", true, "\\"},
        {"Pelora9.exe %1", false, ""},
        {"\"", false, ""},
        {"", false, ""},
    };
    for (const folder_case& c : cases) {
        std::string folder;
        EXPECT_EQ(install::folder_of_command(c.command, &folder), c.found) << c.command;
        EXPECT_EQ(folder, c.folder) << c.command;
    }
}

class LocateApplication : public install_testing::drive_test {};

TEST_F(LocateApplication, ChecksThePelora9ExeOfTheRegisteredFolder) {
    // The accepted executable lies only where the registry's command points;
    // the other folders hold one that would be refused.
    struct registered_case {
        const char* registry;
        const char* executable;
    };
    const registered_case cases[] = {
        {"quoted.reg", "C:\\Apps\\P9\\Pelora9.exe"},
        {"unquoted_args.reg", "C:\\Apps\\P9\\Pelora9.exe -p Apps\\Pelora9.exe"},
        {"plv_only.reg", "C:\\Apps\\P9\\Pelora9.exe"},
        {"third_key.reg", "C:\\Apps\\P9\\Pelora9.exe"},
        {"long_values.reg", "C:\\Apps\\Q\\Pelora9.exe"},  // the first key's command is too long
        {"shortest.reg", "C:\\P\\Pelora9.exe"},
        {"drive_root.reg", "C:\\Pelora9.exe"},
    };
    for (const registered_case& c : cases) {
        SCOPED_TRACE(c.registry);
        install_testing::clean_drive();
        for (const char* decoy : {"C:\\Apps\\P9\\Pelora9.exe", "C:\\Apps\\Q\\Pelora9.exe"})
            place_file(decoy, unknown_image);
        place_file(c.executable, accepted_image);
        use_registry(c.registry);
        message_recorder messages;
        dialog_answers dialog;
        EXPECT_TRUE(install::locate_application());
        EXPECT_EQ(messages.messages(), strings{});
        EXPECT_EQ(dialog.shown(), 0);
    }
}

TEST_F(LocateApplication, AsksOnceWhenNothingIsRegistered) {
    place_file("C:\\Apps\\Q\\Pelora9.exe", accepted_image);
    place_file("C:\\Apps\\Q\\notes.txt", unknown_image);
    for (const char* registry : {"none.reg", "plx_only.reg"}) {
        SCOPED_TRACE(registry);
        use_registry(registry);
        {
            message_recorder messages;
            dialog_answers dialog({"cancel"});
            EXPECT_FALSE(install::locate_application());
            EXPECT_EQ(messages.messages(), strings{"Pelora Error: Pelora cannot be located."});
            EXPECT_EQ(dialog.shown(), 1);
            EXPECT_EQ(dialog.filter(), "Pelora9.exe|Pelora9.exe");
        }
        {
            // Only the picked file's folder counts.
            message_recorder messages;
            dialog_answers dialog({"C:\\Apps\\Q\\notes.txt"});
            EXPECT_TRUE(install::locate_application());
            EXPECT_EQ(messages.messages(), strings{});
            EXPECT_EQ(dialog.shown(), 1);
        }
    }
}

TEST_F(LocateApplication, AsksOnceMoreWhenTheRegisteredExecutableCannotBeOpened) {
    use_registry("quoted.reg");
    place_file("C:\\Apps\\Q\\Pelora9.exe", accepted_image);
    place_file("C:\\Apps\\R\\readme.txt", unknown_image);
    struct retry_case {
        const char* name;
        bool held_open;  // the registered executable exists but another handle holds it
        strings answers;
        bool result;
        strings messages;
    };
    const retry_case cases[] = {
        {"missing, another folder picked", false, {"C:\\Apps\\Q\\other.exe"}, true, {}},
        {"held open, another folder picked", true, {"C:\\Apps\\Q\\Pelora9.exe"}, true, {}},
        {"missing, cancelled", false, {"cancel"}, false, {"Pelora Error: File Open Error."}},
        // One extra dialog only: a picked folder without the executable ends it.
        {"missing, picked folder has none", false, {"C:\\Apps\\R\\readme.txt", "C:\\Apps\\Q\\Pelora9.exe"}, false,
         {"Pelora Error: File Open Error."}},
    };
    for (const retry_case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::unique_file holder;
        if (c.held_open) {
            place_file("C:\\Apps\\P9\\Pelora9.exe", accepted_image);
            holder.reset(platform::create_file("C:\\Apps\\P9\\Pelora9.exe", platform::access::read,
                                               platform::disposition::open_existing));
            ASSERT_TRUE(holder.valid());
        }
        message_recorder messages;
        dialog_answers dialog(c.answers);
        EXPECT_EQ(install::locate_application(), c.result);
        EXPECT_EQ(messages.messages(), c.messages);
        EXPECT_EQ(dialog.shown(), 1);
        holder.reset();
        platform::delete_file("C:\\Apps\\P9\\Pelora9.exe");
    }
}

TEST_F(LocateApplication, AcceptsExactlyTheByteSumsOfItsTable) {
    use_registry("quoted.reg");
    std::vector<std::pair<std::string, testing_support::bytes>> accepted, refused;
    for (std::uint32_t sum : install::accepted_image_sums)
        accepted.emplace_back("slot sum " + std::to_string(sum), install_testing::bytes_with_sum(sum));
    accepted.emplace_back("255 from bytes below 0x80 only", testing_support::bytes(255, 0x01));
    refused = {
        {"empty file", {}},
        {"abc", unknown_image},
        {"254", install_testing::bytes_with_sum(254)},
        {"256", install_testing::bytes_with_sum(256)},
        {"255 as unsigned bytes, not signed", {0xFF}},
        {"slot 1 plus one", install_testing::bytes_with_sum(install::accepted_image_sums[0] + 1)},
        {"slot 11 minus one", install_testing::bytes_with_sum(install::accepted_image_sums[10] - 1)},
    };
    for (bool expected : {true, false}) {
        for (const auto& [name, content] : expected ? accepted : refused) {
            SCOPED_TRACE(name);
            place_file("C:\\Apps\\P9\\Pelora9.exe", content);
            message_recorder messages;
            dialog_answers dialog;
            EXPECT_EQ(install::locate_application(), expected);
            EXPECT_EQ(messages.messages(),
                      expected ? strings{} : strings{"Pelora Error: This copy of Pelora cannot be updated."});
            EXPECT_EQ(dialog.shown(), 0);
        }
    }
}

TEST_F(LocateApplication, ACommandWithoutFolderOrRoomForTheNameIsNotLocated) {
    place_file("C:\\Apps\\P9\\Pelora9.exe", accepted_image);
    for (const char* registry : {"no_backslash.reg", "long_folder.reg"}) {
        SCOPED_TRACE(registry);
        use_registry(registry);
        message_recorder messages;
        dialog_answers dialog({"C:\\Apps\\P9\\Pelora9.exe"});
        EXPECT_FALSE(install::locate_application());
        EXPECT_EQ(messages.messages(), strings{"Pelora Error: Pelora cannot be located."});
        EXPECT_EQ(dialog.shown(), 0);
    }
}

TEST_F(LocateApplication, ADialogPathMustLeaveRoomForTheName) {
    use_registry("none.reg");
    // A folder of 1012 characters and "Pelora9.exe" make 1023, the most a
    // 1024-byte text holds.
    for (int length : {1008, 1009}) {
        std::string folder = "C:\\" + std::string(static_cast<std::size_t>(length), 'a') + "\\";
        dialog_answers dialog({folder + "x.exe"});
        std::string text;
        EXPECT_EQ(install::look_up_application(install::locate_keys, &text), length == 1008) << length;
        EXPECT_EQ(text, length == 1008 ? folder + "Pelora9.exe" : "");
    }
}

}  // namespace
