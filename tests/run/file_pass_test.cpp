// The file pass over small installations: every section, every entry kind,
// entries that fail among good ones, backups, and destinations that try to
// leave their folder.
#include "run/file_pass.h"
#include "run/entry_job.h"
#include "run/staging.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "install/folder_map.h"
#include "patch/byte_sum.h"
#include "platform/files.h"
#include "run/backup.h"
#include "run/context.h"
#include "support/patch_writer.h"
#include "support/platform_hooks.h"
#include "support/read_only.h"
#include "support/szdd_writer.h"
#include "support/test_support.h"
#include "ui/progress.h"
#include "pass_fixture.h"

namespace {

using namespace install;
using pass_testing::entry;
using pass_testing::no_flag;
using pass_testing::tree;
using testing_support::bytes;
using testing_support::scratch_folder;
using testing_support::szdd_literals;
using testing_support::text_bytes;

const std::string checksum_error =
    "Pelora Updater: The patch was not applied successfully, because of a checksum error";
const std::string unknown_error = "Pelora Updater: An Unknow Error Occured.";

using testing_support::random_bytes;

// The compressed patch that turns `old_data` into the returned new file;
// with `wrong_checksum` its checksum does not match what it makes.
struct made_patch {
    bytes compressed, made;
};
made_patch compressed_patch(const bytes& old_data, std::uint32_t seed, bool wrong_checksum = false) {
    testing_support::patch_stats stats;
    testing_support::random_patch p = testing_support::make_random_patch(old_data, seed, 40, &stats);
    std::uint32_t sum = patch::byte_sum(p.expected) + (wrong_checksum ? 1 : 0);
    return {szdd_literals(testing_support::patch_file(p.body, sum)), p.expected};
}

// An SZDD file whose data ends before its expanded length.
bytes truncated(const bytes& content) {
    bytes file = szdd_literals(content);
    file.resize(file.size() - 5);
    return file;
}

// An installation and a work folder, with a run context pointing at them;
// backup mode off. The temporary folder (for RegLog.txt) is a
// private one while the object lives.
struct installation {
    scratch_folder temp;
    testing_support::temp_folder_override temp_override{temp.path()};
    scratch_folder app, work;

    run::run_context context;
    ui::progress_counters progress;

    installation() {
        context.folders = pass_testing::section_folders_under(app.path());
        context.work_folder = work.path();
        context.manifest = {work / "temp1.cab", work.path()};
        context.backup = false;
        context.backup_folder = app / "Backup\\";
    }
    int file_pass() { return run::file_pass(context, &progress); }
    std::string path(std::size_t section, const std::string& destination) const {
        return app / pass_testing::relative_path(section, destination);
    }
};

// Every file and folder of an installation before and after a whole pass.
struct planned {
    entry e;
    std::optional<bytes> before, after;  // the target; nothing: no such file
    bool read_only = false;
    enum { nothing_left, compressed_left, expanded_patch_left } work_left = nothing_left;
};

struct whole_pass_scenario {
    std::vector<planned> entries;
    tree before, after;
    std::string failed_patch_output;  // relative to the app folder
};

whole_pass_scenario whole_pass() {
    const bytes exe = random_bytes(6000, 1), filter = random_bytes(3000, 2), wizard = random_bytes(2500, 3);
    const made_patch exe_patch = compressed_patch(exe, 11);
    const made_patch bad_patch = compressed_patch(filter, 12, true);
    const made_patch wizard_patch = compressed_patch(wizard, 13);
    auto t = text_bytes;
    auto replacement = [](const bytes& content) { return std::optional<bytes>(szdd_literals(content)); };

    whole_pass_scenario s;
    s.entries = {
        {{core_section, 1, "Pelora9.exe", exe_patch.compressed}, exe, exe_patch.made},
        {{core_section, 4, "Pelora.tlb", replacement(t("tlb 2"))}, t("tlb 1"), t("tlb 2")},
        {{core_section, 2, "New.dll", replacement(t("new library"))}, std::nullopt, t("new library")},
        {{core_section, 2, "ReadOnly.dat", replacement(random_bytes(40000, 4))},
         t("left read-only"),
         random_bytes(40000, 4),
         true},
        {{tools_section, 3, "old.tool"}, t("old tool"), std::nullopt},
        {{tools_section, 3, "Locked.tool"}, t("read-only tool"), std::nullopt, true},
        {{tools_section, 3, "never-there.tool"}, std::nullopt, std::nullopt},
        {{user_section, 2, "WebWiz\\STARTPAG.TXT", replacement(t("start 2"))}, t("start 1"), t("start 2")},
        {{filters_section, 1, "Sharpen.flt", bad_patch.compressed},
         filter,
         filter,
         false,
         planned::expanded_patch_left},
        {{filters_section, 2, "Blur.flt", replacement(t("blur 2"))}, t("blur 1"), t("blur 2")},
        {{dict_section, 4, "words.dic", replacement(t("words 2"))}, t("words 1"), t("words 2")},
        {{extras_section, 2, "engineer_valves.MCR", truncated(t("valves, second edition"))},
         t("valves"),
         t("valves"),
         false,
         planned::compressed_left},
        {{extras_section, 3, "old_valves.MCR"}, t("old valves"), std::nullopt},
        // No flag: nothing happens even though the other keys are there.
        {{color_inks_section, no_flag, "ink.txt", replacement(t("ink"))},
         std::nullopt,
         std::nullopt,
         false,
         planned::compressed_left},
        {{color_inks_section, 2, "Pantone.ink", replacement(t("pantone"))}, std::nullopt, t("pantone")},
        {{plserver_section, 7, "server.cfg", replacement(t("server 2"))},
         t("server 1"),
         t("server 1"),
         false,
         planned::compressed_left},
        {{data_section, 2, "GIS DATA FILES\\NADCON\\win\\conus.las", replacement(t("grid"))},
         std::nullopt,
         t("grid")},
        {{data_section, 2, "GIS DATA FILES\\CSV\\datums.csv", replacement(t("datums"))}, std::nullopt, t("datums")},
        {{wizards_section, 1, "Web\\wizard.dll", wizard_patch.compressed}, wizard, wizard_patch.made},
        {{psfonts_section, 2, "cmaps\\UniJIS-UCS2-H", replacement(t("cmap"))}, std::nullopt, t("cmap")},
        {{symbols_section, 2, "Base Symbols\\Weather.MCR", replacement(t("base weather"))},
         std::nullopt,
         t("base weather")},
        {{symbols_section, 2, "GIS Symbols\\Weather.MCR", replacement(t("gis weather"))},
         std::nullopt,
         t("gis weather")},
    };

    s.before.folders = {"Pelora Tools", "User",     "User\\WebWiz", "Pelora Filters", "Dictionaries", "Extras",
                        "Color Inks",   "PLServer", "Wizards",      "Wizards\\Web",   "PSFonts"};
    s.after.folders = s.before.folders;
    pass_testing::add_folders_of_the_pass(&s.after);
    for (const planned& p : s.entries) {
        std::string path = pass_testing::relative_path(p.e.section, p.e.destination);
        if (p.before) s.before.files[path] = *p.before;
        if (p.after) s.after.files[path] = *p.after;
    }
    s.failed_patch_output = "Pelora Filters\\Sharpen.flt";
    return s;
}

struct pass_result {
    int failures;
    std::vector<entry> entries;
    int total;
    std::vector<std::string> messages;
};

// Builds the scenario's installation and package, and runs the pass.
pass_result run_whole_pass(installation& inst, whole_pass_scenario* s) {
    pass_testing::make_tree(inst.app.path(), s->before);
    for (const planned& p : s->entries) {
        if (p.read_only) {
            EXPECT_TRUE(testing_support::make_read_only(inst.path(p.e.section, p.e.destination)));
        }
    }
    pass_result r;
    for (const planned& p : s->entries) r.entries.push_back(p.e);
    r.total = pass_testing::write_package(inst.work.path(), &r.entries);
    testing_support::message_recorder boxes;
    r.failures = inst.file_pass();
    r.messages = boxes.messages();
    return r;
}

void expect_whole_pass_outcome(const installation& inst, const whole_pass_scenario& s, const pass_result& r,
                               const tree& expected, int failures = 2) {
    EXPECT_EQ(r.failures, failures) << "the checksum mismatch, the truncated replacement and any failure made";
    EXPECT_EQ(inst.progress.current_entry, r.total + 1);
    EXPECT_EQ(r.messages, std::vector<std::string>{checksum_error});

    tree now = pass_testing::list_tree(inst.app.path());
    EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);

    std::set<std::string> work_left = {"temp1.cab"};
    for (std::size_t i = 0; i < s.entries.size(); ++i) {
        if (s.entries[i].work_left == planned::compressed_left) work_left.insert(r.entries[i].cab_name);
        if (s.entries[i].work_left == planned::expanded_patch_left) work_left.insert(r.entries[i].cab_name + "_");
    }
    EXPECT_EQ(pass_testing::file_names(inst.work.path()), work_left);

    // The log names the failed patch's staging file, which is gone.
    bytes log = testing_support::read_bytes(inst.temp / "RegLog.txt");
    std::string line(log.begin(), log.end());
    std::string start = "Error Patching File: " + (inst.app / s.failed_patch_output) + run::staging_marker;
    EXPECT_EQ(line.substr(0, start.size()), start);
    EXPECT_TRUE(line.ends_with("-9\r\n")) << line;
}

TEST(FilePass, AppliesEveryEntryOfEverySectionAndCountsTheFailures) {
    installation inst;
    whole_pass_scenario s = whole_pass();
    pass_result r = run_whole_pass(inst, &s);
    expect_whole_pass_outcome(inst, s, r, s.after);
}

TEST(FilePass, BacksUpEveryTargetBeforeItChanges) {
    installation inst;
    whole_pass_scenario s = whole_pass();
    s.before.folders.insert("Backup");
    s.before.folders.insert("Backup\\PLUpdate.new");  // as prepare_backup leaves it
    inst.context.backup = true;
    testing_support::pinned_local_time now({2026, 3, 25, 7, 8, 9});
    pass_result r = run_whole_pass(inst, &s);

    // One line per entry acted on, in entry order; a copy of each target
    // that existed, under the destination's text after its first backslash
    // (the later of two equal names wins), moved out of PLUpdate.new by the
    // commit.
    tree expected = s.after;
    expected.folders.insert("Backup");
    std::string log;
    for (const planned& p : s.entries) {
        if (p.e.flag < 1 || p.e.flag > 4) continue;
        log += "File:" + p.e.destination + " on 03/25/26 07:08:09\r\n";
        std::size_t slash = p.e.destination.find('\\');
        std::string copy = slash == std::string::npos ? p.e.destination : p.e.destination.substr(slash + 1);
        if (p.before) expected.files["Backup\\" + copy] = *p.before;
    }
    expected.files["Backup\\Log.txt"] = text_bytes(log);
    expect_whole_pass_outcome(inst, s, r, expected);
}

// A move that fails among good entries: its entry alone fails and keeps its
// target, and the pass goes on with the others.
TEST(FilePass, AFailedMoveAmongOthersFailsOnlyItsEntry) {
    installation inst;
    whole_pass_scenario s = whole_pass();
    // The pass's second move is Pelora.tlb's, after Pelora9.exe's patch.
    testing_support::failing_call failing(platform::file_call::replace_file, 1, 1);
    pass_result r = run_whole_pass(inst, &s);
    EXPECT_EQ(failing.left(), 0);
    tree expected = s.after;
    expected.files["Pelora.tlb"] = text_bytes("tlb 1");
    expect_whole_pass_outcome(inst, s, r, expected, 3);
}

// One entry at a time: whether it fails, and that a failed entry leaves
// its target exactly as it was and nothing beside it.
TEST(FilePass, AFailedEntryLeavesItsTargetAsItWas) {
    const bytes old_file = random_bytes(1000, 5), new_file = text_bytes("the new file");
    struct entry_case {
        const char* name;
        int flag;
        std::optional<bytes> before;
        std::optional<bytes> compressed;  // nothing: the CAB names a missing file
        bool target_in_use;
        int failures;
        std::optional<bytes> after;
        std::vector<std::string> messages;
    };
    const made_patch patch = compressed_patch(old_file, 21);
    const entry_case cases[] = {
        {"replacement whose data ends early", 2, old_file, truncated(new_file), false, 1, old_file, {}},
        {"replacement that is not SZDD", 4, old_file, text_bytes("plain text"), false, 1, old_file, {}},
        {"replacement whose compressed file is missing", 2, old_file, std::nullopt, false, 1, old_file, {}},
        {"replacement of a file in use", 2, old_file, szdd_literals(new_file), true, 1, old_file, {}},
        {"deletion of a file in use", 3, old_file, std::nullopt, true, 1, old_file, {}},
        {"deletion of a file that is not there", 3, std::nullopt, std::nullopt, false, 0, std::nullopt, {}},
        {"patch of a file that is not there", 1, std::nullopt, patch.compressed, false, 1, std::nullopt,
         {unknown_error}},
        {"patch of a file in use", 1, old_file, patch.compressed, true, 1, old_file, {unknown_error}},
        {"patch whose compressed file is missing", 1, old_file, std::nullopt, false, 1, old_file, {}},
        {"patch that succeeds", 1, old_file, patch.compressed, false, 0, patch.made, {}},
    };
    for (const entry_case& c : cases) {
        SCOPED_TRACE(c.name);
        installation inst;
        tree before;
        before.folders = {"User"};
        if (c.before) before.files["User\\Sample.dat"] = *c.before;
        pass_testing::make_tree(inst.app.path(), before);
        std::vector<entry> entries = {{user_section, c.flag, "Sample.dat", c.compressed}};
        if (c.flag != 3 && !c.compressed) entries[0].cab_name = "temp9.cab";
        pass_testing::write_package(inst.work.path(), &entries);

        std::string target = inst.path(user_section, "Sample.dat");
        platform::unique_file held;
        if (c.target_in_use)
            held.reset(platform::create_file(target.c_str(), platform::access::read,
                                             platform::disposition::open_existing));
        testing_support::message_recorder boxes;
        int failures = inst.file_pass();
        held.reset();

        EXPECT_EQ(failures, c.failures);
        EXPECT_EQ(inst.progress.current_entry, 2);
        EXPECT_EQ(boxes.messages(), c.messages);
        tree expected = before;
        pass_testing::add_folders_of_the_pass(&expected);
        if (c.after)
            expected.files["User\\Sample.dat"] = *c.after;
        else
            expected.files.erase("User\\Sample.dat");
        tree now = pass_testing::list_tree(inst.app.path());
        EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);
    }
}

// A Windows call that fails in the middle of an entry: the move of the new
// content over the target, a write of the new content, the deletion. The
// target keeps every byte, the entry counts as failed, and a replacement
// leaves no "<target>Temp" behind. Each case runs on a writable and on a
// read-only target.
TEST(FilePass, AFailedCallLeavesTheTargetAsItWas) {
    using platform::file_call;
    const bytes old_file = random_bytes(1000, 7);
    // Expanded in two writes of the copy buffer (512,000 bytes).
    const bytes new_file = random_bytes(600000, 8);
    const made_patch patch = compressed_patch(old_file, 22);
    struct fault_case {
        const char* name;
        int flag;
        file_call call;
        int after;  // calls of `call` in the entry that go through first
        std::vector<std::string> messages;
        // Checked on the read-only target. Where the entry makes the target
        // writable before the call that fails, it stays writable.
        bool keeps_read_only;
    };
    const fault_case cases[] = {
        {"replacement whose move fails", 2, file_call::replace_file, 0, {}, false},
        {"replacement whose first write fails", 2, file_call::write_file, 0, {}, true},
        {"replacement whose second write fails", 4, file_call::write_file, 1, {}, true},
        {"patch whose move fails", 1, file_call::replace_file, 0, {}, false},
        // The patch is expanded into memory: the first write makes the new
        // content, and a patch that fails leaves no output behind. The first
        // read is of the compressed patch.
        {"patch whose output write fails", 1, file_call::write_file, 0, {unknown_error}, true},
        {"patch whose own expansion fails", 1, file_call::read_file, 0, {}, true},
        {"deletion that fails", 3, file_call::delete_file, 0, {}, false},
        // New content that cannot be put on the disk is not put in place.
        {"replacement whose flush fails", 2, file_call::flush_file, 0, {}, true},
        {"patch whose flush fails", 1, file_call::flush_file, 0, {}, true},
    };
    for (const fault_case& c : cases) {
        for (bool read_only : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (read_only ? ", read-only target" : ""));
            installation inst;
            tree before;
            before.folders = {"User"};
            before.files["User\\Sample.dat"] = old_file;
            pass_testing::make_tree(inst.app.path(), before);
            const std::string target = inst.path(user_section, "Sample.dat");
            if (read_only) {
                ASSERT_TRUE(testing_support::make_read_only(target));
            }
            std::optional<bytes> compressed;
            if (c.flag == 1) compressed = patch.compressed;
            if (c.flag == 2 || c.flag == 4) compressed = szdd_literals(new_file);
            std::vector<entry> entries = {{user_section, c.flag, "Sample.dat", compressed}};
            pass_testing::write_package(inst.work.path(), &entries);

            testing_support::message_recorder boxes;
            // A move over a read-only target, or its deletion, that fails is
            // tried again once the target is made writable: both tries fail.
            bool tried_twice = read_only && (c.call == file_call::replace_file || c.call == file_call::delete_file);
            testing_support::failing_call failing(c.call, tried_twice ? 2 : 1, c.after);
            int failures = inst.file_pass();
            EXPECT_EQ(failing.left(), 0) << "the failure did not happen";
            EXPECT_EQ(failures, 1);
            EXPECT_EQ(boxes.messages(), c.messages);

            tree now = pass_testing::list_tree(inst.app.path());
            for (const auto& [name, content] : now.files)
                EXPECT_EQ(name.find(run::staging_marker), std::string::npos) << "a staging file stays: " << name;
            tree expected = before;
            pass_testing::add_folders_of_the_pass(&expected);
            EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);
            if (read_only && c.keeps_read_only) {
                EXPECT_TRUE(testing_support::is_read_only(target));
            }
        }
    }
}

// What the pass tells, with the entry its progress counter named then.
struct told_at {
    int entry;
    std::string text;
    bool operator==(const told_at&) const = default;
};
std::vector<told_at>* told_so_far = nullptr;
const ui::progress_counters* counters_told = nullptr;

platform::box_answer record_with_entry(const char* text, const char*, platform::box_buttons) {
    told_so_far->push_back({counters_told->current_entry - 1, text});
    return platform::box_answer::ok;
}

// More entries than the pass works on at once, of every kind, some of them
// failing, in one folder named in two letter cases. Each entry ends as it
// would alone; what the pass tells comes in entry order, while its
// progress counter names the entry; and the folder is swept of stale
// staging files once, not again after this run has staged files in it.
TEST(FilePass, ManyEntriesEachEndAsItWouldAlone) {
    installation inst;
    tree before;
    before.folders = {"User", "User\\Sub"};
    tree expected = before;
    pass_testing::add_folders_of_the_pass(&expected);
    std::vector<entry> entries;
    int expected_failures = 0;
    std::vector<std::size_t> told_for;  // indexes of the entries that tell
    for (int i = 0; i < 300; ++i) {
        const std::string name = "f" + std::to_string(i) + ".dat";
        const std::string destination = (i % 2 ? "Sub\\" : "SUB\\") + name, path = "User\\Sub\\" + name;
        const bytes old_file = random_bytes(300 + i, 1000 + i);
        before.files[path] = old_file;
        std::optional<bytes> compressed;
        std::optional<bytes> after = old_file;
        switch (i % 5) {
        case 0: {  // a replacement, some of them large
            bytes content = random_bytes(i % 20 == 0 ? 70000 : 1000 + i, 2000 + i);
            compressed = szdd_literals(content);
            after = content;
            break;
        }
        case 1: {  // a patch; every 25th fails its checksum and says so
            made_patch p = compressed_patch(old_file, 3000 + i, i % 25 == 6);
            compressed = p.compressed;
            if (i % 25 == 6) {
                ++expected_failures;
                told_for.push_back(entries.size());
            } else {
                after = p.made;
            }
            break;
        }
        case 2:  // a deletion
            after = std::nullopt;
            break;
        case 3:  // a replacement whose data ends early
            compressed = truncated(random_bytes(2000, 4000 + i));
            ++expected_failures;
            break;
        case 4:  // no action
            break;
        }
        static const int flags[] = {2, 1, 3, 2, 0};
        entries.push_back({user_section, flags[i % 5], destination, compressed});
        if (after) expected.files[path] = *after;
    }
    pass_testing::make_tree(inst.app.path(), before);
    pass_testing::write_package(inst.work.path(), &entries);

    std::vector<told_at> told;
    told_so_far = &told;
    counters_told = &inst.progress;
    platform::message_box_handler previous = platform::set_message_box_handler(record_with_entry);
    int failures = inst.file_pass();
    platform::set_message_box_handler(previous);
    told_so_far = nullptr;

    EXPECT_EQ(failures, expected_failures);
    std::vector<told_at> expected_told;
    for (std::size_t index : told_for)
        expected_told.push_back({entries[index].number, checksum_error.substr(checksum_error.find(": ") + 2)});
    EXPECT_EQ(told, expected_told);
    tree now = pass_testing::list_tree(inst.app.path());
    EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);
}

// A section without a folder (no dictionary folder registered) is skipped,
// but its entry numbers are used up, so the sections after it read their
// own entries. Core and Tools are taken even without a folder.
TEST(FilePass, ASkippedSectionUsesUpItsEntryNumbers) {
    installation inst;
    inst.context.folders.folders[dict_section].clear();
    inst.context.folders.folders[tools_section].clear();
    tree before;
    before.folders = {"Extras", "Backup"};
    before.files["Extras\\gone.txt"] = text_bytes("an Extras file that Dict's entry would delete");
    pass_testing::make_tree(inst.app.path(), before);
    inst.context.backup = true;

    // A deletion of a name that exists nowhere: only its log line shows
    // that the Tools entry was taken.
    const std::string absent = "plupdate-absent-" + std::to_string(std::random_device()()) + ".tmp";
    std::vector<entry> entries = {
        {tools_section, 3, absent},
        {dict_section, 2, "words.dic", szdd_literals(text_bytes("words"))},
        {dict_section, 3, "gone.txt"},
        {extras_section, 2, "extra.txt", szdd_literals(text_bytes("extras"))},
    };
    int total = pass_testing::write_package(inst.work.path(), &entries);
    EXPECT_EQ(inst.file_pass(), 0);
    EXPECT_EQ(inst.progress.current_entry, total + 1);

    tree expected = before;
    pass_testing::add_folders_of_the_pass(&expected);
    expected.files["Extras\\extra.txt"] = text_bytes("extras");
    tree now = pass_testing::list_tree(inst.app.path());
    expected.files["Backup\\Log.txt"] = now.files["Backup\\Log.txt"];
    EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);
    EXPECT_EQ(pass_testing::file_names(inst.work.path()), (std::set<std::string>{"temp1.cab", entries[1].cab_name}));

    const bytes& log = expected.files["Backup\\Log.txt"];
    std::string text(log.begin(), log.end());
    EXPECT_EQ(text.find("File:" + absent + " on "), 0u) << text;
    EXPECT_EQ(text.find("File:words.dic"), std::string::npos) << text;
    EXPECT_EQ(text.find("File:gone.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("File:extra.txt"), std::string::npos) << text;
}

// Entries whose destination climbs out of the section folder, or is
// absolute, and a compressed file named outside the work folder: each entry
// fails, and nothing is touched, backed up or logged.
TEST(FilePass, EntriesThatReachOutsideTheirFoldersFailAndTouchNothing) {
    installation inst;
    const bytes victim = random_bytes(800, 6);
    const std::string victim_path = inst.app / "victim.txt";
    const made_patch patch = compressed_patch(victim, 31);
    tree before;
    before.folders = {"Backup", "User", "User\\sub"};
    before.files["victim.txt"] = victim;
    pass_testing::make_tree(inst.app.path(), before);
    const bytes outside_cab = szdd_literals(text_bytes("from outside"));
    scratch_folder elsewhere;
    ASSERT_TRUE(testing_support::write_bytes(elsewhere / "outside.cab", outside_cab));
    inst.context.backup = true;

    const std::string destinations[] = {
        "..\\victim.txt",
        "sub\\..\\..\\victim.txt",
        "sub/../../victim.txt",
        victim_path,                  // "X:\...\victim.txt"
        victim_path.substr(2),        // "\...\victim.txt"
        "/" + victim_path.substr(3),  // "/...\victim.txt"
    };
    std::vector<entry> entries;
    for (int flag : {1, 2, 3}) {
        for (const std::string& d : destinations) {
            std::optional<bytes> compressed;
            if (flag == 1) compressed = patch.compressed;
            if (flag == 2) compressed = szdd_literals(text_bytes("replaced"));
            entries.push_back({user_section, flag, d, compressed});
        }
    }
    // A compressed file outside the work folder, by a relative and by an
    // absolute name.
    std::string beside_work = elsewhere.path().substr(0, elsewhere.path().size() - 1);
    beside_work = "..\\" + beside_work.substr(beside_work.rfind('\\') + 1) + "\\outside.cab";
    for (const std::string& cab : {beside_work, elsewhere / "outside.cab"})
        for (int flag : {1, 2}) entries.push_back({user_section, flag, "victim.txt", std::nullopt, cab});
    pass_testing::write_package(inst.work.path(), &entries);
    std::set<std::string> work_before = pass_testing::file_names(inst.work.path());

    testing_support::message_recorder boxes;
    EXPECT_EQ(inst.file_pass(), static_cast<int>(entries.size()));
    EXPECT_TRUE(boxes.messages().empty());
    tree expected = before;
    pass_testing::add_folders_of_the_pass(&expected);
    tree now = pass_testing::list_tree(inst.app.path());
    EXPECT_TRUE(now == expected) << pass_testing::differences(expected, now);
    EXPECT_EQ(pass_testing::file_names(inst.work.path()), work_before);
    EXPECT_EQ(testing_support::read_bytes(elsewhere / "outside.cab"), outside_cab);
}

// Paths built from a section folder that leaves no room in their
// 2000-character buffers: the entries fail before anything is done.
TEST(FilePass, PathsTooLongForTheirBuffersFailTheEntry) {
    installation inst;
    ASSERT_EQ(platform::create_directory((inst.app / "Backup").c_str()), platform::create_directory_result::created);
    inst.context.backup = true;
    inst.context.folders.folders[user_section] = inst.app / std::string(run::entry_path_capacity, 'u');
    std::vector<entry> entries = {
        {user_section, 2, "new.txt", szdd_literals(text_bytes("new"))},
        {user_section, 3, "old.txt"},
    };
    pass_testing::write_package(inst.work.path(), &entries);
    EXPECT_EQ(inst.file_pass(), 2);
    EXPECT_FALSE(testing_support::exists(inst.app / "Backup\\Log.txt"));
    EXPECT_EQ(pass_testing::file_names(inst.work.path()), (std::set<std::string>{"temp1.cab", entries[0].cab_name}));
}

}  // namespace
