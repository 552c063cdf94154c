// The price-history window of one item. Modal; fetches the item's day-by-day history once on a worker thread and
// fills its five-column list and the chart beside it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "tools/ItemHistory.h"

class QLineEdit;
class QTreeWidget;

namespace vantrel::gui {

class HistoryChart;

class PriceHistoryWindow : public QDialog {
    Q_OBJECT
public:
    // itemIdGbk and titleGbk: the hand-over values HistoryItemId and HistoryItemTitle (GBK).
    // Sets the caption "历史分析 - " + title and starts the fetch (the "window created" event).
    PriceHistoryWindow(std::string itemIdGbk, std::string titleGbk, QWidget* parent = nullptr);

    QTreeWidget* HistoryList() const { return list_; }  // 超级列表框1
    QLineEdit* TitlePopup() const { return popup_; }    // 编辑框1
    HistoryChart* Chart() const { return chart_; }

signals:
    // The fetch's answer has been applied (rows written, or the "ret:-1" message shown and the window closed).
    void historyApplied(int rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Fetches the history on a worker thread; its rows land in this window only.
    void FetchItemHistory();
    void ApplyHistory(const tools::ItemHistory& history);

    std::string itemId_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* popup_ = nullptr;
    HistoryChart* chart_ = nullptr;
};

}  // namespace vantrel::gui
