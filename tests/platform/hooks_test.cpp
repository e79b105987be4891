// Failures on request and the pinned local time, on both builds: a call
// asked to fail does nothing at all, only the calls asked for fail, and
// everything goes back to normal afterwards.
#include "platform/faults.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/durable.h"
#include "platform/files.h"
#include "support/platform_hooks.h"
#include "support/read_only.h"
#include "support/test_support.h"

namespace {

using platform::file_call;
using testing_support::exists;
using testing_support::failing_call;
using testing_support::read_bytes;
using testing_support::text_bytes;
using testing_support::write_bytes;

// A call that fails leaves every file as it was.
TEST(Faults, AFailedCallDoesNothing) {
    struct call_case {
        const char* name;
        file_call call;
        // Makes the call on a folder holding "a" ("old a") and "b" ("old b");
        // returns whether it reported success.
        std::function<bool(const std::string& a, const std::string& b)> make;
    };
    const call_case cases[] = {
        {"create_file", file_call::create_file,
         [](const std::string&, const std::string& b) {
             platform::unique_file file(
                 platform::create_file(b.c_str(), platform::access::write, platform::disposition::create_always));
             return file.valid();
         }},
        {"write_file", file_call::write_file,
         [](const std::string& a, const std::string&) {
             platform::unique_file file(
                 platform::create_file(a.c_str(), platform::access::write, platform::disposition::open_existing));
             std::uint32_t done = 99;
             bool ok = platform::write_file(file.get(), "new", 3, &done);
             EXPECT_EQ(done, ok ? 3u : 0u);
             return ok;
         }},
        {"read_file", file_call::read_file,
         [](const std::string& a, const std::string&) {
             platform::unique_file file(
                 platform::create_file(a.c_str(), platform::access::read, platform::disposition::open_existing));
             char buffer[8];
             std::uint32_t done = 99;
             bool ok = platform::read_file(file.get(), buffer, sizeof buffer, &done);
             EXPECT_EQ(done, ok ? 5u : 0u);
             return ok;
         }},
        {"copy_file", file_call::copy_file,
         [](const std::string& a, const std::string& b) { return platform::copy_file(a.c_str(), b.c_str(), false); }},
        {"move_file", file_call::move_file,
         [](const std::string& a, const std::string& b) {
             platform::delete_file(b.c_str());
             return platform::move_file(a.c_str(), b.c_str());
         }},
        {"replace_file", file_call::replace_file,
         [](const std::string& a, const std::string& b) { return platform::replace_file(a.c_str(), b.c_str()); }},
        {"delete_file", file_call::delete_file,
         [](const std::string& a, const std::string&) { return platform::delete_file(a.c_str()); }},
        {"set_file_attributes_normal", file_call::set_file_attributes_normal,
         [](const std::string& a, const std::string&) { return platform::set_file_attributes_normal(a.c_str()); }},
        {"flush_file", file_call::flush_file,
         [](const std::string& a, const std::string&) { return platform::flush_files({a}) == std::vector<bool>{true}; }},
    };
    for (const call_case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::scratch_folder folder;
        const std::string a = folder / "a", b = folder / "b";
        ASSERT_TRUE(write_bytes(a, text_bytes("old a")));
        ASSERT_TRUE(write_bytes(b, text_bytes("old b")));
        if (c.call == file_call::set_file_attributes_normal) {
            ASSERT_TRUE(testing_support::make_read_only(a));
        }
        bool b_existed = c.call != file_call::move_file;
        {
            failing_call failing(c.call);
            EXPECT_FALSE(c.make(a, b));
            EXPECT_EQ(failing.left(), 0);
        }
        EXPECT_EQ(read_bytes(a), text_bytes("old a"));
        if (c.call == file_call::set_file_attributes_normal) {
            EXPECT_TRUE(testing_support::is_read_only(a));
        }
        if (b_existed) {
            EXPECT_EQ(read_bytes(b), text_bytes("old b"));
        } else {
            EXPECT_FALSE(exists(b));
        }
        // Once the failure is spent, the same call succeeds.
        EXPECT_TRUE(c.make(a, b));
    }
}

TEST(Faults, TheChosenCallsFailAfterTheOnesLetThrough) {
    testing_support::scratch_folder folder;
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) {
        files.push_back(folder / ("f" + std::to_string(i)));
        ASSERT_TRUE(write_bytes(files.back(), text_bytes("x")));
    }
    failing_call failing(file_call::delete_file, 2, 1);
    EXPECT_EQ(failing.left(), 2);
    std::vector<bool> deleted;
    for (const std::string& f : files) deleted.push_back(platform::delete_file(f.c_str()));
    EXPECT_EQ(deleted, (std::vector<bool>{true, false, false, true, true}));
    EXPECT_EQ(failing.left(), 0);
    EXPECT_TRUE(exists(files[1]));
    EXPECT_TRUE(exists(files[2]));
}

// Nothing but the call asked for fails: in particular copy_file, which on
// the host writes through the same system calls as write_file, copies.
TEST(Faults, OnlyTheChosenCallFails) {
    testing_support::scratch_folder folder;
    const std::string a = folder / "a", b = folder / "b", c = folder / "c";
    failing_call failing(file_call::write_file);
    ASSERT_TRUE(write_bytes(a, {})) << "an empty file needs no write";
    EXPECT_TRUE(platform::copy_file(a.c_str(), b.c_str(), false));
    EXPECT_TRUE(platform::replace_file(b.c_str(), c.c_str()));
    EXPECT_TRUE(platform::delete_file(c.c_str()));
    EXPECT_EQ(failing.left(), 1);
    EXPECT_FALSE(write_bytes(a, text_bytes("now the write")));
    EXPECT_EQ(failing.left(), 0);
}

TEST(Faults, ClearingTakesBackWhatIsLeft) {
    testing_support::scratch_folder folder;
    const std::string a = folder / "a";
    ASSERT_TRUE(write_bytes(a, text_bytes("x")));
    platform::fail_next(file_call::delete_file, 3);
    platform::fail_next(file_call::copy_file, 1, 5);
    EXPECT_FALSE(platform::delete_file(a.c_str()));
    platform::clear_failures();
    EXPECT_EQ(platform::failures_left(file_call::delete_file), 0);
    EXPECT_EQ(platform::failures_left(file_call::copy_file), 0);
    EXPECT_TRUE(platform::delete_file(a.c_str()));
}

// Calls from several threads at once each take one turn: exactly the
// failures asked for happen, no more and no fewer.
TEST(Faults, ThreadsShareTheFailuresAskedFor) {
    testing_support::scratch_folder folder;
    const std::string a = folder / "a";
    ASSERT_TRUE(write_bytes(a, text_bytes("x")));
    constexpr int threads = 4, calls = 200, asked = 300, let_through = 100;
    failing_call failing(file_call::set_file_attributes_normal, asked, let_through);
    std::vector<int> failed(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < calls; ++i)
                if (!platform::set_file_attributes_normal(a.c_str())) ++failed[t];
        });
    for (std::thread& w : workers) w.join();
    int total = 0;
    for (int n : failed) total += n;
    EXPECT_EQ(total, asked);
    EXPECT_EQ(failing.left(), 0);
}

TEST(LocalTime, APinnedTimeHoldsUntilReleased) {
    {
        testing_support::pinned_local_time pinned({2026, 3, 25, 7, 8, 9});
        platform::local_time t = platform::get_local_time();
        EXPECT_EQ(t.year, 2026);
        EXPECT_EQ(t.month, 3);
        EXPECT_EQ(t.day, 25);
        EXPECT_EQ(t.hour, 7);
        EXPECT_EQ(t.minute, 8);
        EXPECT_EQ(t.second, 9);
    }
    std::time_t now = std::time(nullptr);
    EXPECT_EQ(platform::get_local_time().year, std::localtime(&now)->tm_year + 1900) << "the system clock again";
}

}  // namespace
