// The result table: one row of 15 text cells (GBK) per analysed item, and its column set.
// Not synchronised: the desktop program touches it on the UI thread only.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

inline constexpr int kColumnCount = 15;

// Column indices by field.
enum Column : int {
    kSeq = 0,
    kTitle = 1,
    kListPrice = 2,
    kSalePrice = 3,
    kLowestPrice = 4,
    kFavourites = 5,
    kDeals30d = 6,
    kReceipts30d = 7,
    kReviews = 8,
    kItemUrl = 9,
    kImageUrl = 10,
    kItemId = 11,
    kListedAt = 12,
    kPublishedAt = 13,
    kDelistAt = 14,
};

enum class Align { Left, Right };

struct ColumnInfo {
    std::string title;  // GBK
    int width = 0;      // pixels; 0 = hidden but still written and read
    Align align = Align::Left;
};

// The 15 columns with their titles, initial widths and alignments.
const std::array<ColumnInfo, kColumnCount>& Columns();

using ItemRecord = std::array<std::string, kColumnCount>;

class ResultTable {
public:
    void Clear() { rows_.clear(); }
    // Appends a row whose column 0 is seq; returns its index (always the last row).
    int AppendRow(std::string seq);
    // A missing row or column is ignored.
    void SetCell(int row, int column, std::string text);
    // Empty when absent.
    const std::string& Cell(int row, int column) const;
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const ItemRecord& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

private:
    std::vector<ItemRecord> rows_;
};

}  // namespace vantrel
