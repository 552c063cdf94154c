#include "ui/ResultListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "analysis/ResultTable.h"
#include "ui/ResultModel.h"

namespace vantrel::gui {

ResultListView::ResultListView(ResultModel* model, QWidget* parent) : QTableView(parent) {
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setMinimumSectionSize(8);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < kColumnCount; ++c) {
        SetColumnWidth(c, Columns()[static_cast<std::size_t>(c)].width);
    }
}

int ResultListView::ColumnWidth(int column) const {
    if (column < 0 || column >= kColumnCount || isColumnHidden(column)) {
        return 0;
    }
    return columnWidth(column);
}

void ResultListView::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    if (width <= 0) {
        setColumnHidden(column, true);
        return;
    }
    setColumnHidden(column, false);
    setColumnWidth(column, width);
}

int ResultListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ResultListView::SelectRow(int row) {
    if (row < 0 || row >= model()->rowCount()) {
        clearSelection();
        return;
    }
    selectRow(row);
}

void ResultListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit doubleClickedAnywhere();
}

}  // namespace vantrel::gui
