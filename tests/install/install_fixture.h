// What the install tests share: the registry of a scenario, scripted
// answers to the open-file dialog, and the application's files on drive C:
// (the Wine prefix's drive on Windows, $PLUPDATE_DRIVES/c on the host).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace install_testing {

// Makes tests/data/registry/<name> the registry (imported with regedit on
// Windows; each file first removes every key the updater reads).
void use_registry(const std::string& name);
// Imports a .reg file of another place (a test's own).
void import_registry(const std::string& path);

// Answers the open-file dialog with the given lines in order, each a path
// that the user confirms or "cancel"; cancels once they are used up.
class dialog_answers {
public:
    explicit dialog_answers(std::vector<std::string> answers = {});
    ~dialog_answers();
    dialog_answers(const dialog_answers&) = delete;
    dialog_answers& operator=(const dialog_answers&) = delete;
    int shown() const;
    // The filter of the last dialog, as "description|pattern".
    std::string filter() const;
};

// Bytes whose byte sum is `sum`.
testing_support::bytes bytes_with_sum(std::uint32_t sum);

// Removes the folders and files that the tests place on drive C:.
void clean_drive();

// Writes an executable, creating its folders on the way.
void place_file(const std::string& path, const testing_support::bytes& content);

// An executable the updater accepts (byte sum 255) and one it does not.
inline const testing_support::bytes accepted_image = {0x7F, 0x7F, 0x01};
inline const testing_support::bytes unknown_image = {'a', 'b', 'c'};

// Leaves drive C: clean before and after each test.
class drive_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { clean_drive(); }
};

}  // namespace install_testing
