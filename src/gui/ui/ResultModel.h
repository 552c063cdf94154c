// The report list's model: the core result table (GBK cells) shown through Qt, 15 columns with their titles
// and alignments. The table is the only store of results; hidden columns are written and read like the others.
// User-interface thread only (workers reach it through the run host's blocking calls).
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "analysis/ResultTable.h"

namespace vantrel::gui {

class ResultModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultModel(QObject* parent = nullptr);

    // The list operations (texts GBK).
    void Clear();
    int AppendRow(const std::string& seq);                       // index of the new (last) row
    void SetCell(int row, int column, const std::string& text);  // a missing row or column is ignored
    const std::string& Cell(int row, int column) const;          // empty when absent
    int RowCount() const { return table_.RowCount(); }

    const ResultTable& Table() const { return table_; }
    // The first n rows (all when n exceeds the count), as a table of their own.
    ResultTable FirstRows(int n) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    ResultTable table_;
    std::vector<std::array<QString, kColumnCount>> shown_;  // the cells converted once for display
};

}  // namespace vantrel::gui
