#include "ui/ResultModel.h"

#include <algorithm>

#include "tools/ToolSeams.h"

namespace vantrel::gui {
namespace {

Qt::Alignment AlignmentOf(int column) {
    const Qt::Alignment h =
        Columns()[static_cast<std::size_t>(column)].align == Align::Right ? Qt::AlignRight : Qt::AlignLeft;
    return h | Qt::AlignVCenter;
}

}  // namespace

ResultModel::ResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultModel::Clear() {
    beginResetModel();
    table_.Clear();
    shown_.clear();
    endResetModel();
}

int ResultModel::AppendRow(const std::string& seq) {
    const int row = table_.RowCount();
    beginInsertRows({}, row, row);
    table_.AppendRow(seq);
    shown_.emplace_back();
    shown_.back()[0] = seq.empty() ? QString() : FromGbk(seq);
    endInsertRows();
    return row;
}

void ResultModel::SetCell(int row, int column, const std::string& text) {
    if (row < 0 || row >= table_.RowCount() || column < 0 || column >= kColumnCount) {
        return;
    }
    table_.SetCell(row, column, text);
    shown_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text.empty() ? QString() : FromGbk(text);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

const std::string& ResultModel::Cell(int row, int column) const {
    return table_.Cell(row, column);
}

ResultTable ResultModel::FirstRows(int n) const {
    ResultTable copy;
    const int count = std::min(n, table_.RowCount());
    for (int r = 0; r < count; ++r) {
        const ItemRecord& record = table_.Row(r);
        copy.AppendRow(record[0]);
        for (int c = 1; c < kColumnCount; ++c) {
            copy.SetCell(r, c, record[static_cast<std::size_t>(c)]);
        }
    }
    return copy;
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.RowCount();
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_.RowCount() || index.column() >= kColumnCount) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return shown_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
        case Qt::ToolTipRole:
            if (index.column() == kTitle) {
                return shown_[static_cast<std::size_t>(index.row())][kTitle];
            }
            return {};
        case Qt::TextAlignmentRole:
            return static_cast<int>(AlignmentOf(index.column()));
        default:
            return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
        case Qt::DisplayRole:
            return FromGbk(Columns()[static_cast<std::size_t>(section)].title);
        case Qt::TextAlignmentRole:
            return static_cast<int>(AlignmentOf(section));
        default:
            return {};
    }
}

}  // namespace vantrel::gui
