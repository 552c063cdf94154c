// Price-history window, pure part: the request address and the positional reading of the
// item-history service's answer into rows, with the carry-over of the last usable price, sales and title.
// All texts are GBK. No Qt, no I/O.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::tools {

// "http://" + ItemHistoryHost + "/item-history/" + itemId + "?_=" (the id inserted unchanged).
std::string ItemHistoryAddress(std::string_view itemId);

// One recorded day, the five cells of the history list: serial ("1", "2", ...), date, price text (yuan),
// 30-day sales, title. A cell the answer did not reach stays empty.
enum HistoryColumn : int { kHistSerial = 0, kHistDate = 1, kHistPrice = 2, kHistSales = 3, kHistTitle = 4 };
inline constexpr int kHistoryColumnCount = 5;
using HistoryRow = std::array<std::string, kHistoryColumnCount>;

struct ItemHistory {
    bool noHistory = false;  // the answer contains "ret:-1": no rows, the window shows a message and closes
    std::vector<HistoryRow> rows;
};

// Reads the answer text T (already converted with Utf8ToText). Steps 4 to 7 of FetchItemHistory: "ret:-1"
// check, "" -> " " replacement, split into fields, groups of four (date, price in hundredths, sales,
// title) with the carry-over values "0", "0" and empty at the start of every call.
// A "," inside a double-quoted value (a title with a comma) does not split the field, so it cannot shift
// every later value into the wrong column.
ItemHistory ParseItemHistory(std::string_view text);

// The fields of step 6: T split at every "," that lies outside double quotes (a backslash before a double
// quote keeps it from opening or closing a quoted part); a trailing empty piece after a final "," is not a
// field, and an empty text gives no fields. Walks by GBK characters.
std::vector<std::string> SplitHistoryFields(std::string_view text);

// A price p > 0 in the general format "%.13g": 129 -> "129", 129.9 -> "129.9", 0.01 -> "0.01".
std::string FormatHistoryPrice(double price);

// ---- Chart data: the rows as points over the dates (sellers read a curve faster than a table). ----

struct HistoryDate {
    int year = 0, month = 0, day = 0;
    friend bool operator==(const HistoryDate&, const HistoryDate&) = default;
};

// A date text as the service sends it: "2024-01-05", "2024/1/5", "2024.01.05" or "20240105", optionally
// followed by a blank and a time (ignored). nullopt for anything else or an impossible month/day.
std::optional<HistoryDate> ParseHistoryDate(std::string_view text);

struct HistoryPoint {
    int serial = 0;                   // the row's serial number (1-based)
    std::optional<HistoryDate> date;  // nullopt when the date text is not a date
    double price = 0;                 // yuan, as shown in the list (carry-over included)
    double sales = 0;                 // 30-day sales, as shown in the list
};

struct HistorySeries {
    std::vector<HistoryPoint> points;  // one per row, in row order
    bool allDated = false;             // every point has a date (the chart then uses a date axis)
    int lowest = -1;                   // index into points of the first lowest price above 0, or -1
};

HistorySeries HistoryChartSeries(const std::vector<HistoryRow>& rows);

}  // namespace vantrel::tools
