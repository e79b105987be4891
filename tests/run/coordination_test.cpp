// The running check and the wait for the application, against plapp
// playing the application in another process.
#include "run/coordination.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/test_support.h"
#include "ui/progress.h"

namespace {

using testing_support::text_bytes;

// plapp started with `options`; waits until it holds what it was asked to.
class application {
public:
    explicit application(const std::string& options) {
        std::string command = "Pelora9.exe " + options + " --until \"" + (folder / "until") + "\" --ready \"" +
                              (folder / "ready") + "\"";
        started = platform::create_process(testing_support::plapp_path().c_str(), command.c_str()) &&
                  testing_support::wait_for_file(folder / "ready");
    }
    ~application() {
        quit();
        // plapp deletes the file once it has seen it: then it is on its way out.
        for (int i = 0; started && i < 1000 && testing_support::exists(folder / "until"); ++i) platform::sleep_ms(20);
    }
    void quit() {
        if (!quitting) testing_support::write_bytes(folder / "until", {});
        quitting = true;
    }

    testing_support::scratch_folder folder;
    bool started = false;
    bool quitting = false;
};

// The run's own thread: what it owns is given up when it ends, as when the
// updater process exits.
template <typename F>
void on_run_thread(F f) {
    std::thread(f).join();
}

class Coordination : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing_support::write_bytes(manifest.path, text_bytes("[General]\r\nTotalFiles=1\r\n")));
    }
    // The application's wait with this test's manifest and display.
    void wait_for_application() {
        ui::progress_display display;
        run::wait_for_application(nullptr, manifest, &display);
        status_text = display.status_text;
    }
    testing_support::scratch_folder work;
    package::manifest manifest{work / "temp1.cab", work.path()};
    std::string status_text;
};

TEST_F(Coordination, NothingRunningTakesBothMutexesWithoutAWord) {
    testing_support::message_recorder boxes;
    on_run_thread([this] {
        run::running_state state = run::running_check();
        EXPECT_FALSE(state.running);
        EXPECT_NE(state.startup_mutex, platform::no_mutex);
        wait_for_application();
        EXPECT_EQ(status_text, "Updating Pelora...");
        // The startup mutex is still this thread's after the wait's own pass.
        std::thread([] {
            platform::mutex_handle other = platform::create_mutex("Pelora9StartUp");
            EXPECT_EQ(platform::wait_for_mutex(other, 10), platform::wait_result::timed_out);
            platform::close_mutex(other);
        }).join();
    });
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(Coordination, AnApplicationWindowMeansItIsRunning) {
    application app("--window");
    ASSERT_TRUE(app.started);
    on_run_thread([] { EXPECT_TRUE(run::running_check().running); });
}

TEST_F(Coordination, AStartingApplicationIsWaitedForThenFound) {
    // Holds the startup mutex for a while, with its window already shown.
    application app("--startup 300 --window");
    ASSERT_TRUE(app.started);
    on_run_thread([] { EXPECT_TRUE(run::running_check().running); });
}

TEST_F(Coordination, TheRunningMutexHolderIsAskedToQuit) {
    application app("--running");
    ASSERT_TRUE(app.started);
    static application* current;
    current = &app;
    static std::vector<std::string> shown;
    shown.clear();
    // Closing the message is when the person quits the application.
    platform::message_box_handler previous = platform::set_message_box_handler(
        [](const char* text, const char* caption, platform::box_buttons) {
            shown.push_back(std::string(caption) + ": " + text);
            current->quit();
            return platform::box_answer::ok;
        });
    ASSERT_TRUE(testing_support::write_bytes(manifest.path,
                                             text_bytes("[General]\r\nMessage=Close Pelora, please\r\n")));
    on_run_thread([this] {
        run::running_check();
        wait_for_application();
        EXPECT_EQ(status_text, "Updating Pelora...");
    });
    platform::set_message_box_handler(previous);
    EXPECT_EQ(shown, std::vector<std::string>{"Error: Please Quit Pelora so the Updater can continue."});
}

TEST_F(Coordination, AnAbandonedRunningMutexIsTakenAtOnce) {
    application app("--running --abandon");
    ASSERT_TRUE(app.started);
    app.quit();
    testing_support::message_recorder boxes;
    // plapp ends without releasing; give it the time to end.
    for (int i = 0; i < 200; ++i) {
        platform::mutex_handle probe = platform::create_mutex("Pelora8PatchableRunning");
        platform::wait_result r = platform::wait_for_mutex(probe, 50);
        if (r == platform::wait_result::acquired || r == platform::wait_result::abandoned) {
            // Put it back as plapp left it is impossible; the point is no message.
            platform::release_mutex(probe);
            platform::close_mutex(probe);
            break;
        }
        platform::close_mutex(probe);
    }
    on_run_thread([this] { wait_for_application(); });
    EXPECT_TRUE(boxes.messages().empty());
}

}  // namespace
