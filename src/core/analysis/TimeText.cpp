#include "analysis/TimeText.h"

#include <climits>
#include <ctime>

namespace vantrel {
namespace {

constexpr std::int64_t kUnixEpochFileTime = 116444736000000000;  // 1970-01-01 in 100 ns since 1601-01-01
constexpr std::int64_t kFileTicksPerSecond = 10'000'000;
constexpr std::int64_t kDays1601To1970 = 134774;

// Proleptic Gregorian date of a day count since 1970-01-01 (H. Hinnant's civil_from_days).
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;                                       // [0, 146096]
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
    const std::int64_t mp = (5 * doy + 2) / 153;                                     // [0, 11]
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// "00" + decimal text of v, two rightmost characters.
void AppendTwoDigits(std::string& out, int v) {
    const std::string s = "00" + std::to_string(v);
    out.append(s, s.size() - 2, 2);
}

DateTime FromTm(const std::tm& tm) {
    DateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

}  // namespace

DateTime UnixToDateTime(std::int64_t v) {
    // 1. Decimal digits of v (1 for v <= 0).
    int digits = 1;
    for (std::int64_t q = v / 10; q > 0; q /= 10) {
        ++digits;
    }
    // 2. Scale to 17 digits.
    double scale = 1.0;
    for (int i = digits; i < 17; ++i) {
        scale *= 10.0;  // powers of ten up to 1e16 are exact in double
    }
    // 3. File time in double precision, truncated. A file time is unsigned and the platform converts only
    //    values below 2^63; values outside [0, 2^63) are clamped to those ends (1601-01-01 00:00:00 and
    //    30828-09-14 02:48:05) instead of failing.
    const double x = static_cast<double>(v) * scale + static_cast<double>(kUnixEpochFileTime);
    std::int64_t f;
    if (!(x >= 0.0)) {
        f = 0;
    } else if (x >= 9223372036854775808.0) {
        f = INT64_MAX;
    } else {
        f = static_cast<std::int64_t>(x);
    }
    // 4. Calendar fields in UTC; the fraction of the second is dropped.
    const std::int64_t seconds = f / kFileTicksPerSecond;
    const std::int64_t days = seconds / 86400;
    const std::int64_t secondOfDay = seconds % 86400;
    DateTime t;
    CivilFromDays(days - kDays1601To1970, t.year, t.month, t.day);
    t.hour = static_cast<int>(secondOfDay / 3600);
    t.minute = static_cast<int>(secondOfDay / 60 % 60);
    t.second = static_cast<int>(secondOfDay % 60);
    return t;
}

std::string FormatTimeText(const DateTime& t) {
    std::string out = std::to_string(t.year);
    out.push_back('-');
    AppendTwoDigits(out, t.month);
    out.push_back('-');
    AppendTwoDigits(out, t.day);
    out.push_back(' ');
    AppendTwoDigits(out, t.hour);
    out.push_back(':');
    AppendTwoDigits(out, t.minute);
    out.push_back(':');
    AppendTwoDigits(out, t.second);
    return out;
}

std::int64_t DateTimeToUnix(const DateTime& t) {
    const long long year = static_cast<long long>(t.year) - 1900;
    if (year < INT_MIN || year > INT_MAX || t.month == INT_MIN) {
        return -1;  // mktime's own failure value
    }
    std::tm tm{};
    tm.tm_year = static_cast<int>(year);
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;  // let the zone rules decide whether daylight saving applies
    return static_cast<std::int64_t>(std::mktime(&tm));
}

DateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &now) != 0) {
        return DateTime{};
    }
#else
    if (localtime_r(&now, &tm) == nullptr) {
        return DateTime{};
    }
#endif
    return FromTm(tm);
}

}  // namespace vantrel
