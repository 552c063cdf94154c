// The time texts of the time columns: Unix counts to calendar fields and back.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

struct DateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Calendar fields of v read in UTC; v of any decimal scale is brought to 17 digits (100 ns units) first.
DateTime UnixToDateTime(std::int64_t v);

// "YYYY-MM-DD hh:mm:ss" (the year in plain digits, the other fields two digits each).
std::string FormatTimeText(const DateTime& t);

// t taken as the machine's local time, converted to seconds since the epoch (UTC).
std::int64_t DateTimeToUnix(const DateTime& t);

// The machine's current local date-time.
DateTime LocalNow();

}  // namespace vantrel
