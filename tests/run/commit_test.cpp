// The commit under its journal: a journal left by an interrupted commit is
// finished whatever steps were done already, one cut short while written
// is dropped with its staging files, and a journal that cannot be written
// changes nothing. Also the check that an installation already holds the
// executable a package installs.
#include "run/commit.h"

#include <gtest/gtest.h>

#include <cctype>

#include <string>

#include "package/manifest.h"
#include "platform/digest.h"
#include "run/resume.h"
#include "support/platform_hooks.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;
using testing_support::exists;
using testing_support::read_bytes;
using testing_support::text_bytes;
using testing_support::write_bytes;

struct journal_fixture {
    testing_support::scratch_folder app;
    std::string folder() const { return app.path().substr(0, app.path().size() - 1); }
    std::string journal() const { return app / run::journal_name; }
};

// Two moves and a deletion, as a commit writes them.
std::string journal_of(const journal_fixture& f, int failed, bool complete) {
    std::string text = "PLUpdate journal 1\r\nfailed\t" + std::to_string(failed) + "\r\n";
    text += "move\t" + (f.app / "a.dll.~plu00000000000000aa-1") + "\t" + (f.app / "a.dll") + "\r\n";
    text += "move\t" + (f.app / "b.dll.~plu00000000000000bb-2") + "\t" + (f.app / "b.dll") + "\r\n";
    text += "delete\t" + (f.app / "old.dll") + "\r\n";
    return complete ? text + "end\r\n" : text;
}

TEST(Journal, AnInterruptedCommitIsFinishedFromWhereverItStopped) {
    // How far the interrupted sweep had got: nothing done, a.dll moved,
    // both moved, everything done but the journal's removal.
    for (int done = 0; done <= 3; ++done) {
        SCOPED_TRACE(done);
        journal_fixture f;
        write_bytes(f.app / "a.dll", text_bytes(done >= 1 ? "new a" : "old a"));
        write_bytes(f.app / "b.dll", text_bytes(done >= 2 ? "new b" : "old b"));
        if (done < 1) write_bytes(f.app / "a.dll.~plu00000000000000aa-1", text_bytes("new a"));
        if (done < 2) write_bytes(f.app / "b.dll.~plu00000000000000bb-2", text_bytes("new b"));
        if (done < 3) write_bytes(f.app / "old.dll", text_bytes("old"));
        write_bytes(f.journal(), text_bytes(journal_of(f, 2, true)));

        int failures = -1;
        EXPECT_EQ(run::finish_journal(f.folder(), &failures), run::journal_found::finished);
        EXPECT_EQ(failures, 2) << "the entries that failed in preparation";
        EXPECT_EQ(read_bytes(f.app / "a.dll"), text_bytes("new a"));
        EXPECT_EQ(read_bytes(f.app / "b.dll"), text_bytes("new b"));
        EXPECT_FALSE(exists(f.app / "old.dll"));
        EXPECT_FALSE(exists(f.app / "a.dll.~plu00000000000000aa-1"));
        EXPECT_FALSE(exists(f.journal()));
        EXPECT_EQ(run::finish_journal(f.folder(), &failures), run::journal_found::none);
    }
}

TEST(Journal, AStepThatFailsAgainKeepsTheJournalForTheNextRun) {
    journal_fixture f;
    write_bytes(f.app / "a.dll", text_bytes("old a"));
    write_bytes(f.app / "b.dll", text_bytes("old b"));
    write_bytes(f.app / "a.dll.~plu00000000000000aa-1", text_bytes("new a"));
    write_bytes(f.app / "b.dll.~plu00000000000000bb-2", text_bytes("new b"));
    write_bytes(f.journal(), text_bytes(journal_of(f, 0, true)));
    int failures = -1;
    {
        testing_support::failing_call failing(platform::file_call::replace_file, 1, 1);  // b.dll's move
        EXPECT_EQ(run::finish_journal(f.folder(), &failures), run::journal_found::unfinished);
    }
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(read_bytes(f.app / "a.dll"), text_bytes("new a"));
    EXPECT_EQ(read_bytes(f.app / "b.dll"), text_bytes("old b"));
    EXPECT_TRUE(exists(f.app / "b.dll.~plu00000000000000bb-2"));
    EXPECT_TRUE(exists(f.journal()));

    EXPECT_EQ(run::finish_journal(f.folder(), &failures), run::journal_found::finished);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(read_bytes(f.app / "b.dll"), text_bytes("new b"));
    EXPECT_FALSE(exists(f.app / "old.dll"));
    EXPECT_FALSE(exists(f.journal()));
}

TEST(Journal, OneCutShortWhileWrittenIsDroppedWithItsStagingFiles) {
    journal_fixture f;
    write_bytes(f.app / "a.dll", text_bytes("old a"));
    write_bytes(f.app / "a.dll.~plu00000000000000aa-1", text_bytes("new a"));
    write_bytes(f.app / "old.dll", text_bytes("old"));
    std::string cut = journal_of(f, 0, true);
    for (std::size_t length : {cut.size() - 1, cut.size() - 6, std::size_t{10}, std::size_t{0}}) {
        SCOPED_TRACE(length);
        write_bytes(f.journal(), text_bytes(cut.substr(0, length)));
        int failures = -1;
        EXPECT_EQ(run::finish_journal(f.folder(), &failures), run::journal_found::none);
        EXPECT_EQ(read_bytes(f.app / "a.dll"), text_bytes("old a"));
        EXPECT_TRUE(exists(f.app / "old.dll"));
        EXPECT_FALSE(exists(f.journal()));
    }
    EXPECT_FALSE(exists(f.app / "a.dll.~plu00000000000000aa-1"));
}

TEST(Journal, ACommitWhoseJournalCannotBeWrittenChangesNothing) {
    journal_fixture f;
    write_bytes(f.app / "a.dll", text_bytes("old a"));
    write_bytes(f.app / "a.dll.~plu00000000000000aa-1", text_bytes("new a"));
    write_bytes(f.app / "old.dll", text_bytes("old"));
    run::commit_plan plan{{{f.app / "a.dll.~plu00000000000000aa-1", f.app / "a.dll"}, {{}, f.app / "old.dll"}}, 1};
    testing_support::failing_call failing(platform::file_call::write_file);
    EXPECT_EQ(run::commit(f.folder(), plan), 3) << "every entry counts as failed";
    EXPECT_EQ(read_bytes(f.app / "a.dll"), text_bytes("old a"));
    EXPECT_TRUE(exists(f.app / "old.dll"));
    EXPECT_FALSE(exists(f.app / "a.dll.~plu00000000000000aa-1"));
    EXPECT_FALSE(exists(f.journal()));
}

// A staging file that is gone when the first sweep comes to it: its entry
// failed, as its target did not get the new content; the other steps go on.
TEST(Journal, AStagingFileGoneBeforeTheFirstSweepFailsItsEntry) {
    journal_fixture f;
    write_bytes(f.app / "a.dll", text_bytes("old a"));
    write_bytes(f.app / "b.dll", text_bytes("old b"));
    write_bytes(f.app / "b.dll.~plu00000000000000bb-2", text_bytes("new b"));
    run::commit_plan plan{{{f.app / "a.dll.~plu00000000000000aa-1", f.app / "a.dll"},
                           {f.app / "b.dll.~plu00000000000000bb-2", f.app / "b.dll"}},
                          0};
    EXPECT_EQ(run::commit(f.folder(), plan), 1);
    EXPECT_EQ(read_bytes(f.app / "a.dll"), text_bytes("old a"));
    EXPECT_EQ(read_bytes(f.app / "b.dll"), text_bytes("new b"));
    EXPECT_FALSE(exists(f.journal()));
}

TEST(NewExecutable, IsRecognisedByTheManifestsDigestOnly) {
    const bytes new_exe = testing_support::random_bytes(5000, 3), old_exe = testing_support::random_bytes(5000, 4);
    const std::string digest = platform::sha256_hex(new_exe.data(), new_exe.size());
    std::string upper = digest;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct row {
        const char* name;
        std::string entry;  // Core's entry 2, after a deletion
        bytes exe;
        bool holds;
    };
    const std::string keys = "File2SHA256=" + digest + "\r\nFile2Size=5000\r\n";
    const row rows[] = {
        {"the new executable", "File2Flag=1\r\nFile2Dest=Pelora9.exe\r\nFile2CAB=temp2.cab\r\n" + keys, new_exe, true},
        {"any letter case", "File2Flag=2\r\nFile2Dest=PELORA9.EXE\r\nFile2CAB=temp2.cab\r\nFile2SHA256=" + upper +
                                "\r\nFile2Size=5000\r\n",
         new_exe, true},
        {"the old executable", "File2Flag=1\r\nFile2Dest=Pelora9.exe\r\nFile2CAB=temp2.cab\r\n" + keys, old_exe, false},
        {"a size that differs", "File2Flag=1\r\nFile2Dest=Pelora9.exe\r\nFile2CAB=temp2.cab\r\nFile2SHA256=" + digest +
                                    "\r\nFile2Size=5001\r\n",
         new_exe, false},
        {"no digest", "File2Flag=1\r\nFile2Dest=Pelora9.exe\r\nFile2CAB=temp2.cab\r\n", new_exe, false},
        {"another file's digest", "File2Flag=1\r\nFile2Dest=PLCore.dll\r\nFile2CAB=temp2.cab\r\n" + keys, new_exe,
         false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        testing_support::scratch_folder folder;
        write_bytes(folder / "temp1.cab",
                    text_bytes("[Core]\r\nNumFiles=2\r\nFile1Flag=3\r\nFile1Dest=Old.dll\r\n" + r.entry));
        write_bytes(folder / "Pelora9.exe", r.exe);
        package::manifest manifest{folder / "temp1.cab", folder.path()};
        EXPECT_EQ(run::holds_new_executable(manifest, folder / "Pelora9.exe"), r.holds);
    }
}

}  // namespace
