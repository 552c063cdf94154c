#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "analysis/TimeText.h"

namespace vantrel {
namespace {

// Sets TZ for the lifetime of the object and restores the previous value afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (old_) {
            setenv("TZ", old_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

DateTime D(int y, int mo, int d, int h, int mi, int s) {
    return DateTime{y, mo, d, h, mi, s};
}

TEST(TimeText, UnixToDateTimeDigitRule) {
    // Calendar fields in UTC whatever the machine's zone.
    ScopedTimeZone tz("Asia/Shanghai");
    EXPECT_EQ(UnixToDateTime(1451606400), D(2016, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(1451606400000), D(2016, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(14516064), D(2016, 1, 1, 0, 0, 0));  // 8 digits: times 10^9
    EXPECT_EQ(UnixToDateTime(0), D(1970, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(1452211200), D(2016, 1, 8, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(1451606400 - 604800), D(2015, 12, 25, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(1451577600000 / 1000 + 28800), D(2016, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(1456790399), D(2016, 2, 29, 23, 59, 59));  // leap day
    EXPECT_EQ(UnixToDateTime(1451606400123), D(2016, 1, 1, 0, 0, 0));   // milliseconds dropped
    EXPECT_EQ(UnixToDateTime(1), D(2001, 9, 9, 1, 46, 40));             // 1 digit: times 10^16, i.e. 10^9 s
}

TEST(TimeText, UnixToDateTimeOutOfRange) {
    // Negative counts and very large ones stay within the file-time range (clamped at its ends).
    EXPECT_EQ(UnixToDateTime(-1), D(1938, 4, 24, 22, 13, 20));  // d = 1: -10^9 s
    EXPECT_EQ(UnixToDateTime(INT64_MIN), D(1601, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(-12), D(1601, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(INT64_MAX), D(30828, 9, 14, 2, 48, 5));
    // 17 digits and more are taken as 100 ns units as they are.
    EXPECT_EQ(UnixToDateTime(14516064000000000), D(2016, 1, 1, 0, 0, 0));
    EXPECT_EQ(UnixToDateTime(145160640000000000), D(2429, 12, 30, 0, 0, 0));
}

TEST(TimeText, FormatTimeText) {
    EXPECT_EQ(FormatTimeText(D(2016, 3, 5, 7, 8, 9)), "2016-03-05 07:08:09");
    EXPECT_EQ(FormatTimeText(D(2016, 12, 31, 23, 59, 59)), "2016-12-31 23:59:59");
    EXPECT_EQ(FormatTimeText(D(1601, 1, 1, 0, 0, 0)), "1601-01-01 00:00:00");
    EXPECT_EQ(FormatTimeText(D(30828, 9, 14, 2, 48, 5)), "30828-09-14 02:48:05");
    // Out-of-range fields: the two rightmost characters of "00" + the decimal text.
    EXPECT_EQ(FormatTimeText(D(99, 123, 1, 0, 0, 0)), "99-23-01 00:00:00");
    EXPECT_EQ(FormatTimeText(UnixToDateTime(1451606400)), "2016-01-01 00:00:00");
}

TEST(TimeText, DateTimeToUnixTakesLocalTime) {
    {
        ScopedTimeZone tz("Asia/Shanghai");
        EXPECT_EQ(DateTimeToUnix(D(2016, 1, 1, 8, 0, 0)), 1451606400);
        EXPECT_EQ(DateTimeToUnix(D(1970, 1, 1, 8, 0, 0)), 0);
    }
    {
        ScopedTimeZone tz("UTC");
        EXPECT_EQ(DateTimeToUnix(D(2016, 1, 1, 0, 0, 0)), 1451606400);
        // Round trip through the digit rule for a 10-digit count.
        EXPECT_EQ(UnixToDateTime(DateTimeToUnix(D(2016, 3, 5, 7, 8, 9))), D(2016, 3, 5, 7, 8, 9));
    }
    {
        // Daylight saving: summer time in New York is UTC-4.
        ScopedTimeZone tz("America/New_York");
        EXPECT_EQ(DateTimeToUnix(D(2016, 7, 1, 0, 0, 0)), 1467345600);
        EXPECT_EQ(DateTimeToUnix(D(2016, 1, 1, 0, 0, 0)), 1451624400);
    }
}

TEST(TimeText, LocalNowIsTheLocalClock) {
    ScopedTimeZone tz("Asia/Shanghai");
    const std::int64_t before = std::time(nullptr);
    const std::int64_t now = DateTimeToUnix(LocalNow());
    const std::int64_t after = std::time(nullptr);
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

}  // namespace
}  // namespace vantrel
