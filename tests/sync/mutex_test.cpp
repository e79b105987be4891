// Named mutexes, windows and processes: the same cases run over Wine's
// real objects and over the host's stand-ins.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync.h"
#include "support/test_support.h"

namespace {

using platform::wait_result;

std::string unique_name(const char* base) {
    static int n = 0;
    return std::string(base) + "-" + std::to_string(n++) + "-" + std::to_string(std::rand());
}

TEST(NamedMutex, OwnerReacquiresAndEachAcquisitionNeedsARelease) {
    std::string name = unique_name("recursive");
    platform::mutex_handle m = platform::create_mutex(name.c_str());
    ASSERT_NE(m, platform::no_mutex);
    EXPECT_EQ(platform::wait_for_mutex(m, 0), wait_result::acquired);
    EXPECT_EQ(platform::wait_for_mutex(m, 0), wait_result::acquired);
    EXPECT_TRUE(platform::release_mutex(m));

    wait_result other = wait_result::failed;
    std::thread([&] {
        platform::mutex_handle h = platform::create_mutex(name.c_str());
        other = platform::wait_for_mutex(h, 20);
        EXPECT_FALSE(platform::release_mutex(h));  // not the owner: nothing changes
        platform::close_mutex(h);
    }).join();
    EXPECT_EQ(other, wait_result::timed_out);  // still held once

    EXPECT_TRUE(platform::release_mutex(m));
    EXPECT_FALSE(platform::release_mutex(m));
    std::thread([&] {
        platform::mutex_handle h = platform::create_mutex(name.c_str());
        other = platform::wait_for_mutex(h, 20);
        platform::release_mutex(h);
        platform::close_mutex(h);
    }).join();
    EXPECT_EQ(other, wait_result::acquired);
    platform::close_mutex(m);
}

TEST(NamedMutex, ClosingAHandleKeepsOwnershipAndAnEndedOwnerAbandons) {
    std::string name = unique_name("abandon");
    // A handle of its own keeps the named object alive after the owner's goes.
    platform::mutex_handle m = platform::create_mutex(name.c_str());
    std::thread([&] {
        platform::mutex_handle h = platform::create_mutex(name.c_str());
        EXPECT_EQ(platform::wait_for_mutex(h, 0), wait_result::acquired);
        platform::close_mutex(h);  // still owned by this thread
    }).join();                     // ends without a release

    EXPECT_EQ(platform::wait_for_mutex(m, 1000), wait_result::abandoned);
    EXPECT_TRUE(platform::release_mutex(m));
    EXPECT_EQ(platform::wait_for_mutex(m, 0), wait_result::acquired);  // released cleanly this time
    EXPECT_TRUE(platform::release_mutex(m));
    platform::close_mutex(m);
}

TEST(NamedMutex, SharedWithAnotherProcess) {
    testing_support::scratch_folder folder;
    std::string ready = folder / "ready", until = folder / "until";
    std::string command = "plapp --running --abandon --until \"" + until + "\" --ready \"" + ready + "\"";
    ASSERT_TRUE(platform::create_process(testing_support::plapp_path().c_str(), command.c_str()));
    ASSERT_TRUE(testing_support::wait_for_file(ready));

    platform::mutex_handle m = platform::create_mutex("Pelora8PatchableRunning");
    EXPECT_EQ(platform::wait_for_mutex(m, 10), wait_result::timed_out);
    ASSERT_TRUE(testing_support::write_bytes(until, {}));
    // plapp ends without releasing: the waiter gets the mutex as abandoned.
    EXPECT_EQ(platform::wait_for_mutex(m, 20000), wait_result::abandoned);
    EXPECT_TRUE(platform::release_mutex(m));
    platform::close_mutex(m);
}

bool has_window_class(const char* wanted) {
    struct search {
        const char* wanted;
        bool found;
    } s{wanted, false};
    platform::enum_top_level_windows(
        [](const char* class_name, void* context) {
            auto* s = static_cast<search*>(context);
            if (std::string(class_name) != s->wanted) return true;
            s->found = true;
            return false;
        },
        &s);
    return s.found;
}

TEST(TopLevelWindows, AnotherProcessWindowIsFoundWhileItLives) {
    testing_support::scratch_folder folder;
    std::string ready = folder / "ready", until = folder / "until";
    std::string command = "plapp --window --until \"" + until + "\" --ready \"" + ready + "\" extra args";
    ASSERT_TRUE(platform::create_process(testing_support::plapp_path().c_str(), command.c_str()));
    ASSERT_TRUE(testing_support::wait_for_file(ready));
    EXPECT_TRUE(has_window_class("PL7AplClass"));
    EXPECT_FALSE(has_window_class("pl7aplclass"));
    ASSERT_TRUE(testing_support::write_bytes(until, {}));

    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        platform::sleep_ms(20);
        gone = !has_window_class("PL7AplClass");
    }
    EXPECT_TRUE(gone);
}

TEST(Processes, StartsAnExecutableWithItsCommandLine) {
    testing_support::scratch_folder folder;
    EXPECT_FALSE(platform::create_process((folder / "missing.exe").c_str(), "missing.exe"));
}

TEST(Threads, RunWithTheirParameter) {
    static std::atomic<int> seen{0};
    static int value = 42;
    ASSERT_TRUE(platform::start_thread(
        [](void* p) -> std::uint32_t {
            seen = *static_cast<int*>(p);
            return 0;
        },
        &value));
    for (int i = 0; i < 500 && seen == 0; ++i) platform::sleep_ms(10);
    EXPECT_EQ(seen, 42);
}

}  // namespace
