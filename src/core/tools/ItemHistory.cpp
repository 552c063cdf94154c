#include "tools/ItemHistory.h"

#include <algorithm>
#include <cstdio>

#include "analysis/TextOps.h"
#include "vantrel/Config.h"

namespace vantrel::tools {
namespace {

constexpr double kEpsilon = 0.0000001;

// Leading and trailing blanks (the single character " ") removed.
std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1..maxDigits decimal digits at s[i], advancing i; -1 when there is none.
int ReadNumber(std::string_view s, std::size_t& i, std::size_t maxDigits) {
    int value = 0;
    std::size_t n = 0;
    while (i < s.size() && IsDigit(s[i]) && n < maxDigits) {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    return n == 0 ? -1 : value;
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::string ItemHistoryAddress(std::string_view itemId) {
    std::string address = "http://";
    address += config::ItemHistoryHost;
    address += "/item-history/";
    address += itemId;
    address += "?_=";
    return address;
}

std::vector<std::string> SplitHistoryFields(std::string_view text) {
    std::vector<std::string> fields;
    std::string current;
    bool quoted = false;
    bool escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80) {  // a GBK character: lead byte and trail byte together, never a marker
            current.push_back(text[i]);
            if (i + 1 < text.size()) {
                current.push_back(text[++i]);
            }
            escaped = false;
            continue;
        }
        const char c = text[i];
        if (c == ',' && !quoted) {
            fields.push_back(std::move(current));
            current.clear();
            escaped = false;
            continue;
        }
        current.push_back(c);
        if (c == '"' && !escaped) {
            quoted = !quoted;
        }
        escaped = c == '\\' && !escaped;
    }
    if (!current.empty()) {  // a trailing empty piece after a final "," is not a field
        fields.push_back(std::move(current));
    }
    return fields;
}

std::string FormatHistoryPrice(double price) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", price);
    return buffer;
}

ItemHistory ParseItemHistory(std::string_view text) {
    ItemHistory result;
    if (text::Contains(text, "ret:-1")) {
        result.noHistory = true;
        return result;
    }
    const std::string replaced = text::ReplaceAll(text, "\"\"", "\" \"");
    const std::vector<std::string> fields = SplitHistoryFields(replaced);

    // The last usable value of each kind, filling the gaps of later days; every fetch starts afresh.
    struct {
        std::string LastPrice = "0";
        std::string LastSales = "0";
        std::string LastTitle;
    } carry;
    int serial = 0;
    HistoryRow* row = nullptr;
    for (std::size_t k = 1; k <= fields.size(); ++k) {
        const std::string v = text::PieceAfter(fields[k - 1], "\"");
        switch (k % 4) {
            case 1:
                ++serial;
                result.rows.emplace_back();
                row = &result.rows.back();
                (*row)[kHistSerial] = std::to_string(serial);
                (*row)[kHistDate] = v;
                break;
            case 2: {
                const double p = text::Number(v) / 100;
                if (p > kEpsilon) {
                    carry.LastPrice = FormatHistoryPrice(p);
                }
                (*row)[kHistPrice] = carry.LastPrice;
                break;
            }
            case 3:
                if (text::Number(v) > kEpsilon) {
                    carry.LastSales = v;
                }
                (*row)[kHistSales] = carry.LastSales;
                break;
            default:
                if (!TrimBlanks(v).empty()) {
                    carry.LastTitle = v;
                }
                (*row)[kHistTitle] = carry.LastTitle;
                break;
        }
    }
    return result;
}

std::optional<HistoryDate> ParseHistoryDate(std::string_view text) {
    text = TrimBlanks(text);
    HistoryDate d;
    std::size_t i = 0;
    if (text.size() >= 8 && std::all_of(text.begin(), text.begin() + 8, IsDigit) &&
        (text.size() == 8 || text[8] == ' ')) {
        d.year = ReadNumber(text, i, 4);
        d.month = ReadNumber(text, i, 2);
        d.day = ReadNumber(text, i, 2);
    } else {
        d.year = ReadNumber(text, i, 4);
        if (i != 4 || i >= text.size()) {
            return std::nullopt;
        }
        const char sep = text[i];
        if (sep != '-' && sep != '/' && sep != '.') {
            return std::nullopt;
        }
        ++i;
        d.month = ReadNumber(text, i, 2);
        if (i >= text.size() || text[i] != sep) {
            return std::nullopt;
        }
        ++i;
        d.day = ReadNumber(text, i, 2);
        if (i < text.size() && text[i] != ' ') {
            return std::nullopt;
        }
    }
    if (d.year < 1970 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) {
        return std::nullopt;
    }
    return d;
}

HistorySeries HistoryChartSeries(const std::vector<HistoryRow>& rows) {
    HistorySeries series;
    series.allDated = !rows.empty();
    for (const HistoryRow& row : rows) {
        HistoryPoint point;
        point.serial = static_cast<int>(series.points.size()) + 1;
        point.date = ParseHistoryDate(row[kHistDate]);
        point.price = text::Number(row[kHistPrice]);
        point.sales = text::Number(row[kHistSales]);
        series.allDated = series.allDated && point.date.has_value();
        const int index = static_cast<int>(series.points.size());
        if (point.price > kEpsilon && (series.lowest < 0 || point.price < series.points[series.lowest].price)) {
            series.lowest = index;
        }
        series.points.push_back(point);
    }
    return series;
}

}  // namespace vantrel::tools
