#include "install/folder_map.h"

#include <gtest/gtest.h>

#include <optional>

#include "install_fixture.h"
#include "support/test_support.h"

namespace {

using install_testing::dialog_answers;
using install_testing::use_registry;
using strings = std::vector<std::string>;

// The folders of a map, or none at all when there is no map.
strings folders(const std::optional<install::folder_map>& map) {
    if (!map) return {};
    return strings(map->folders.begin(), map->folders.end());
}

// Every section folder for the app folder `a` and dictionary folder `dict`,
// in the order of install::layout.
strings folders_for(const std::string& a, const std::string& dict) {
    return {a,
            a + "\\Pelora Tools",
            a + "\\User",
            a + "\\Pelora Filters",
            dict,
            a + "\\Extras",
            a + "\\Color Inks",
            a + "\\PLServer",
            a + "\\DATA",
            a + "\\Wizards",
            a + "\\PSFonts",
            a + "\\Symbols"};
}

TEST(FolderMap, DerivesEverySectionFolderFromTheRegisteredCommand) {
    struct map_case {
        const char* registry;
        strings expected;
    };
    const map_case cases[] = {
        // HKEY_LOCAL_MACHINE's dictionary folder wins, trailing backslash and all.
        {"quoted.reg", folders_for("C:\\Apps\\P9", "D:\\Dictionaries\\")},
        // Only HKEY_CURRENT_USER has one: it is used.
        {"unquoted_args.reg", folders_for("C:\\Apps\\P9\\Pelora9.exe -p Apps", "E:\\Dict")},
        {"plx_only.reg", folders_for("C:\\Apps\\P9", "")},
        {"third_key.reg", folders_for("C:\\Apps\\P9", "")},
        {"shortest.reg", folders_for("C:\\P", "")},
        // Directly in a drive root: the app folder is the drive.
        {"drive_root.reg",
         {"C:", "C:\\Pelora Tools", "C:\\User", "C:\\Pelora Filters", "", "C:\\Extras", "C:\\Color Inks",
          "C:\\PLServer", "C:\\DATA", "C:\\Wizards", "C:\\PSFonts", "C:\\Symbols"}},
    };
    for (const map_case& c : cases) {
        SCOPED_TRACE(c.registry);
        use_registry(c.registry);
        testing_support::message_recorder messages;
        dialog_answers dialog;
        std::optional<install::folder_map> map = install::build_folder_map(nullptr);
        EXPECT_TRUE(map);
        EXPECT_EQ(folders(map), c.expected);
        EXPECT_EQ(dialog.shown(), 0);
        EXPECT_EQ(messages.messages(), strings{});
    }
}

TEST(FolderMap, FindsSectionsByName) {
    use_registry("quoted.reg");
    std::optional<install::folder_map> map = install::build_folder_map(nullptr);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->app_folder(), "C:\\Apps\\P9");
    ASSERT_NE(map->section_folder("color inks"), nullptr);
    EXPECT_EQ(*map->section_folder("color inks"), "C:\\Apps\\P9\\Color Inks");
    EXPECT_EQ(*map->section_folder("PlServer"), "C:\\Apps\\P9\\PLServer");
    EXPECT_EQ(map->section_folder("Backup"), nullptr);
}

TEST(FolderMap, AsksWhenItsOwnKeysHoldNoCommand) {
    // Registered only where locate_application looks (".PLV"), or with a
    // command too long for the buffer: this lookup asks the user.
    for (const char* registry : {"plv_only.reg", "long_values.reg", "none.reg"}) {
        SCOPED_TRACE(registry);
        use_registry(registry);
        {
            dialog_answers dialog({"C:\\Apps\\Q\\anything.exe"});
            std::optional<install::folder_map> map = install::build_folder_map(nullptr);
            ASSERT_TRUE(map);
            EXPECT_EQ(dialog.shown(), 1);
            EXPECT_EQ(map->app_folder(), "C:\\Apps\\Q");
            EXPECT_EQ(map->folders[install::data_section], "C:\\Apps\\Q\\DATA");
        }
        {
            testing_support::message_recorder messages;
            dialog_answers dialog({"cancel"});
            EXPECT_FALSE(install::build_folder_map(nullptr));
            EXPECT_EQ(messages.messages(), strings{}) << "the driver shows the message";
        }
    }
}

TEST(FolderMap, ACommandWithoutFolderOrRoomForTheNamesFails) {
    for (const char* registry : {"no_backslash.reg", "long_folder.reg"}) {
        SCOPED_TRACE(registry);
        use_registry(registry);
        dialog_answers dialog;
        EXPECT_FALSE(install::build_folder_map(nullptr));
    }
}

}  // namespace
