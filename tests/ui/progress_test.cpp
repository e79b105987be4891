#include "ui/progress.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "ui/resource_ids.h"

namespace {

// A window that records what the progress logic does to it, and a tick
// count that the test sets.
struct fake_display {
    std::uint32_t tick = 0;
    std::map<int, std::string> texts;
    int range = -1;
    int position = -1;
    int created = 0;
    int template_id = 0;
    std::vector<std::pair<platform::window_handle, unsigned>> timers;  // window, period
    platform::window_handle next_window = nullptr;
    platform::dialog_procedure procedure = nullptr;
    void* context = nullptr;
};
fake_display fake;
int fake_window_object;
platform::window_handle const fake_window = &fake_window_object;

const platform::window_calls fake_calls = {
    [](platform::module_handle, int template_id, platform::dialog_procedure procedure, void* context) {
        ++fake.created;
        fake.template_id = template_id;
        fake.procedure = procedure;
        fake.context = context;
        if (fake.next_window) procedure(fake.next_window, platform::window_message::init_dialog, context);
        return fake.next_window;
    },
    [](platform::window_handle window, unsigned id, unsigned milliseconds) {
        EXPECT_EQ(id, 0u);
        fake.timers.emplace_back(window, milliseconds);
        return true;
    },
    [] { return fake.tick; },
    [](platform::window_handle window, int control, const char* text) {
        EXPECT_EQ(window, fake_window);
        fake.texts[control] = text;
    },
    [](platform::window_handle window, int control, int upper) {
        EXPECT_EQ(window, fake_window);
        EXPECT_EQ(control, IDC_PROGRESS_BAR);
        fake.range = upper;
    },
    [](platform::window_handle window, int control, int position) {
        EXPECT_EQ(window, fake_window);
        EXPECT_EQ(control, IDC_PROGRESS_BAR);
        fake.position = position;
    },
};

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fake = {};
        platform::set_window_calls(&fake_calls);
        ui::initialise_progress_display(&display, &counters, nullptr);
        ui::set_status_text(&display, "Updating Pelora...");
    }
    void TearDown() override { platform::set_window_calls(nullptr); }
    bool send(platform::window_message message) {
        return ui::progress_window_procedure(fake_window, message, &display);
    }
    ui::progress_counters counters;
    ui::progress_display display;
};

// Before the window exists the display starts afresh: counters at 0 and the
// progress line's format from the string table.
TEST(ProgressDisplay, InitialisationZeroesTheCountersAndLoadsTheLineFormat) {
    ui::progress_counters counters;
    counters.current_entry = 17;
    counters.total_count = 125;
    ui::progress_display display;
    display.line_format = "stale";
    ui::initialise_progress_display(&display, &counters, nullptr);
    EXPECT_EQ(display.counters, &counters);
    EXPECT_EQ(counters.current_entry.load(), 0);
    EXPECT_EQ(counters.total_count.load(), 0);
    EXPECT_EQ(display.line_format, "File %d of %d");
}

TEST_F(ProgressWindow, RefreshesOnlyWhenStrictlyMoreThan500msHavePassed) {
    struct tick_case {
        std::uint32_t last, now;
        bool refreshed;
    };
    const tick_case cases[] = {
        {1000, 1000, false},
        {1000, 1500, false},
        {1000, 1501, true},
        {1000, 90000, true},
        // The tick count wraps at 2^32; the difference still counts.
        {0xFFFFFF00, 0x000000F4, false},  // 500 ms later
        {0xFFFFFF00, 0x000000F5, true},   // 501 ms later
        {0xFFFFFFFF, 0x00010000, true},
    };
    counters.current_entry = 3;
    counters.total_count = 9;
    for (const tick_case& c : cases) {
        SCOPED_TRACE(std::to_string(c.last) + " -> " + std::to_string(c.now));
        fake.texts.clear();
        fake.position = -1;
        display.last_refresh_time = c.last;
        fake.tick = c.now;
        EXPECT_FALSE(send(platform::window_message::timer));
        if (c.refreshed) {
            EXPECT_EQ(fake.texts, (std::map<int, std::string>{{1, "Updating Pelora..."}, {2, "File 3 of 9"}}));
            EXPECT_EQ(fake.position, 3);
            EXPECT_EQ(display.last_refresh_time, c.now);
        } else {
            EXPECT_TRUE(fake.texts.empty());
            EXPECT_EQ(fake.position, -1);
            EXPECT_EQ(display.last_refresh_time, c.last);
        }
    }
}

TEST_F(ProgressWindow, ShowsTheCounterClampedToTheTotalAndTheBarOverTheTotal) {
    struct count_case {
        std::int16_t counter, total;
        const char* line;
        int position, range;
    };
    const count_case cases[] = {
        {12, 257, "File 12 of 257", 12, 257},
        {257, 257, "File 257 of 257", 257, 257},
        {258, 257, "File 257 of 257", 258, 257},  // one past the last entry: the bar gets the counter
        {0, 252, "File 0 of 252", 0, 252},
        {-1, 10, "File -1 of 10", -1, 10},
        {32767, 300, "File 300 of 300", 32767, 300},
        {5, 0, "File 0 of 0", 5, -1},  // no total: the range stays as it was
    };
    std::uint32_t now = 10000;
    for (const count_case& c : cases) {
        SCOPED_TRACE(c.line);
        fake.range = -1;
        counters.current_entry = c.counter;
        counters.total_count = c.total;
        now += 501;
        fake.tick = now;
        send(platform::window_message::timer);
        EXPECT_EQ(fake.texts[IDC_PROGRESS_LINE], c.line);
        EXPECT_EQ(fake.position, c.position);
        EXPECT_EQ(fake.range, c.range);
    }
}

TEST_F(ProgressWindow, InitialisationSetsTheRangeAndStartsTheClock) {
    counters.total_count = 125;
    fake.tick = 4242;
    EXPECT_TRUE(send(platform::window_message::init_dialog));
    EXPECT_EQ(fake.range, 125);
    EXPECT_EQ(display.last_refresh_time, 4242u);
    EXPECT_TRUE(fake.texts.empty()) << "the template's texts stay until the first refresh";

    // A tick within the first half second changes nothing; other messages
    // are left to the platform.
    fake.tick = 4242 + 500;
    EXPECT_FALSE(send(platform::window_message::timer));
    EXPECT_FALSE(send(platform::window_message::other));
    EXPECT_TRUE(fake.texts.empty());
}

TEST_F(ProgressWindow, IsCreatedFromTemplateOneWithATimerUnlessSilent) {
    counters.total_count = 125;
    fake.next_window = fake_window;
    ui::create_progress_window(&display, nullptr, false);
    EXPECT_EQ(fake.created, 1);
    EXPECT_EQ(fake.template_id, 1);
    EXPECT_EQ(fake.procedure, &ui::progress_window_procedure);
    EXPECT_EQ(fake.context, &display);
    EXPECT_EQ(fake.range, 125);
    EXPECT_EQ(display.window, fake_window);
    EXPECT_EQ(fake.timers, (std::vector<std::pair<platform::window_handle, unsigned>>{{fake_window, 250}}));

    // A dialog that cannot be created leaves no window; the timer is asked
    // for all the same, so the main loop still wakes up.
    fake = {};
    ui::create_progress_window(&display, nullptr, false);
    EXPECT_EQ(display.window, nullptr);
    EXPECT_EQ(fake.timers, (std::vector<std::pair<platform::window_handle, unsigned>>{{nullptr, 250}}));

    fake = {};
    fake.next_window = fake_window;
    ui::create_progress_window(&display, nullptr, true);
    EXPECT_EQ(fake.created, 0);
    EXPECT_TRUE(fake.timers.empty());
    EXPECT_EQ(display.window, nullptr);
}

TEST_F(ProgressWindow, TheDirectBarUpdateMovesTheBarOnlyWhenThereIsAWindow) {
    counters.current_entry = 130;
    counters.total_count = 252;
    ui::update_progress_bar(display);
    EXPECT_EQ(fake.position, -1);

    display.window = fake_window;
    ui::update_progress_bar(display);
    EXPECT_EQ(fake.position, 130);
    EXPECT_EQ(fake.range, 252);
    EXPECT_TRUE(fake.texts.empty());
}

TEST_F(ProgressWindow, TheStatusTextHoldsAtMost255Characters) {
    ui::set_status_text(&display, std::string(300, 's'));
    EXPECT_EQ(display.status_text, std::string(255, 's'));
}

// The platform's own window: on the host an in-memory window drawn only on
// a terminal, on Windows a real dialog, which needs a display.
TEST(ProgressWindowOnThePlatform, ShowsTheTemplateThenTheRefreshedState) {
    ui::progress_counters counters;
    ui::progress_display display;
    ui::initialise_progress_display(&display, &counters, nullptr);
    counters.total_count = 125;
    testing::internal::CaptureStderr();
    ui::create_progress_window(&display, nullptr, false);
    platform::window_handle window = display.window;
    if (!window) {
        testing::internal::GetCapturedStderr();
        GTEST_SKIP() << "no window could be created (no display)";
    }
    EXPECT_EQ(platform::control_text(window, IDC_STATUS), "Starting update...");
    EXPECT_EQ(platform::control_text(window, IDC_PROGRESS_LINE), "");
    EXPECT_EQ(platform::bar_upper(window, IDC_PROGRESS_BAR), 125);

    // The next timer tick, long after the last refresh, refreshes.
    ui::set_status_text(&display, "Updating Pelora...");
    counters.current_entry = 40;
    counters.total_count = 80;
    display.last_refresh_time = platform::tick_count() - 10000;
    for (int i = 0; i < 20 && platform::control_text(window, IDC_PROGRESS_LINE).empty(); ++i)
        platform::dispatch_next_message();
    EXPECT_EQ(platform::control_text(window, IDC_STATUS), "Updating Pelora...");
    EXPECT_EQ(platform::control_text(window, IDC_PROGRESS_LINE), "File 40 of 80");
    EXPECT_EQ(platform::bar_upper(window, IDC_PROGRESS_BAR), 80);
    EXPECT_EQ(platform::bar_position(window, IDC_PROGRESS_BAR), 40);

    // A counter past the total leaves the bar full.
    counters.current_entry = 90;
    ui::update_progress_bar(display);
    EXPECT_EQ(platform::bar_position(window, IDC_PROGRESS_BAR), 80);
    std::string drawn = testing::internal::GetCapturedStderr();
    EXPECT_EQ(drawn, "") << "standard error is no terminal here, so nothing is drawn";
}

}  // namespace
