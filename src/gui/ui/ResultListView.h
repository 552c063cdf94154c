// 超级列表框1 (ResultList): the report-style list of results. Whole rows are selected, one at a time; a column
// of width 0 is hidden but keeps its cells.
#pragma once

#include <QTableView>

namespace vantrel::gui {

class ResultModel;

class ResultListView final : public QTableView {
    Q_OBJECT
public:
    explicit ResultListView(ResultModel* model, QWidget* parent = nullptr);

    // Width in pixels; 0 for a hidden column. Setting 0 hides the column, a positive width shows it.
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);

    // Index of the selected row, -1 when none.
    int SelectedRow() const;
    void SelectRow(int row);

signals:
    // A double-click anywhere in the list (after the click has updated the selection).
    void doubleClickedAnywhere();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace vantrel::gui
