#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, DefaultFormats) {
    TFixedClock clock({2026, 3, 7, 9, 5, 2, 45});
    EXPECT_EQ(clock.DateText(), "2026-03-07");
    EXPECT_EQ(clock.TimeText(), "09:05:02");
}

TEST(Clock, DateAndTimeAreTwoReads) {
    // Across midnight the date is read before the time moves on.
    TFixedClock clock({2026, 12, 31, 23, 59, 59, 0});
    clock.StepSeconds = 1;
    const std::string date = clock.DateText();
    const std::string time = clock.TimeText();
    EXPECT_EQ(date + " " + time, "2026-12-31 00:00:00");
    EXPECT_EQ(clock.Now(), (TDateTime{2027, 1, 1, 0, 0, 1, 0}));
}

TEST(Clock, Patterns) {
    const TDateTime dt{2009, 2, 3, 4, 5, 6, 7};
    const struct {
        const char *Pattern;
        const char *Text;
    } cases[] = {
        {"yyyy-mm-dd", "2009-02-03"},
        {"yy/m/d", "09/2/3"},
        {"hh:nn:ss", "04:05:06"},
        {"h:n:s", "4:5:6"},
        {"hh:mm", "04:05"}, // minutes after an hour
        {"YYYY.MM.DD", "2009.02.03"},
        {"hh:nn:ss.zzz", "04:05:06.007"},
        {"'at' hh\"h\"", "at 04h"},
        {"dd 'unclosed", "03 unclosed"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatDateTime(c.Pattern, dt), c.Text) << c.Pattern;
}

TEST(Clock, SettingsChangeTheTexts) {
    TFixedClock clock({2026, 3, 7, 14, 30, 0, 0});
    clock.ShortDateFormat = "dd.mm.yyyy";
    clock.LongTimeFormat = "h:nn";
    EXPECT_EQ(clock.DateText(), "07.03.2026");
    EXPECT_EQ(clock.TimeText(), "14:30");
}

TEST(Clock, SystemClockGivesAPlausibleTime) {
    TSystemClock clock;
    const TDateTime now = clock.Now();
    EXPECT_GE(now.Year, 2020);
    EXPECT_TRUE(now.Month >= 1 && now.Month <= 12);
    EXPECT_TRUE(now.Day >= 1 && now.Day <= 31);
    EXPECT_EQ(clock.DateText().size(), 10u);
    EXPECT_EQ(clock.TimeText().size(), 8u);
}

} // namespace
