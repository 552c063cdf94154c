#include "analysis/ResultTable.h"

#include "web/Encoding.h"

namespace vantrel {

const std::array<ColumnInfo, kColumnCount>& Columns() {
    static const std::array<ColumnInfo, kColumnCount> columns = {{
        {Utf8ToGbk("序号"), 40, Align::Left},
        {Utf8ToGbk("标题"), 380, Align::Left},
        {Utf8ToGbk("摆价"), 100, Align::Right},
        {Utf8ToGbk("售价"), 60, Align::Right},
        {Utf8ToGbk("历史最低价"), 80, Align::Right},
        {Utf8ToGbk("收藏量"), 70, Align::Right},
        {Utf8ToGbk("30天成交"), 90, Align::Right},
        {Utf8ToGbk("30天收货"), 90, Align::Right},
        {Utf8ToGbk("评价数"), 80, Align::Right},
        {Utf8ToGbk("网址"), 0, Align::Left},
        {Utf8ToGbk("图片地址"), 0, Align::Left},
        {Utf8ToGbk("淘ID"), 0, Align::Left},
        {Utf8ToGbk("上新时间"), 100, Align::Right},
        {Utf8ToGbk("发布时间"), 100, Align::Right},
        {Utf8ToGbk("下架时间"), 100, Align::Right},
    }};
    return columns;
}

int ResultTable::AppendRow(std::string seq) {
    ItemRecord row;
    row[kSeq] = std::move(seq);
    rows_.push_back(std::move(row));
    return static_cast<int>(rows_.size()) - 1;
}

void ResultTable::SetCell(int row, int column, std::string text) {
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) {
        return;
    }
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
}

const std::string& ResultTable::Cell(int row, int column) const {
    static const std::string empty;
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) {
        return empty;
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

}  // namespace vantrel
