#include "tools/PriceHistoryWindow.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QTreeWidget>

#include "tools/HistoryChart.h"
#include "tools/ToolSeams.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"

namespace vantrel::gui {
namespace {

constexpr int kListWidth = 792;
constexpr int kListHeight = 592;
constexpr int kChartWidth = 520;  // the chart beside the list
constexpr int kGap = 8;

struct ColumnSpec {
    const char* header;
    int width;
    bool right;
};
constexpr ColumnSpec kColumns[tools::kHistoryColumnCount] = {
    {"序号", 60, false}, {"日期", 90, true}, {"价格", 100, true}, {"30天内销量", 120, true}, {"标题", 400, true},
};

Qt::Alignment ColumnAlignment(int column) {
    return (kColumns[column].right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

PriceHistoryWindow::PriceHistoryWindow(std::string itemIdGbk, std::string titleGbk, QWidget* parent)
    : QDialog(parent), itemId_(std::move(itemIdGbk)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("历史分析"));
    resize(kListWidth + kGap + kChartWidth, 625);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("超级列表框1"));
    list_->setGeometry(0, 0, kListWidth, kListHeight);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setColumnCount(tools::kHistoryColumnCount);
    auto* header = new QTreeWidgetItem();
    for (int c = 0; c < tools::kHistoryColumnCount; ++c) {
        header->setText(c, QString::fromUtf8(kColumns[c].header));
        header->setTextAlignment(c, ColumnAlignment(c));
    }
    list_->setHeaderItem(header);
    list_->header()->setStretchLastSection(false);
    for (int c = 0; c < tools::kHistoryColumnCount; ++c) {
        list_->setColumnWidth(c, kColumns[c].width);
    }
    list_->viewport()->installEventFilter(this);

    popup_ = new QLineEdit(list_);
    popup_->setObjectName(QStringLiteral("编辑框1"));
    popup_->setReadOnly(true);
    popup_->setGeometry(0, 0, 400, 40);
    popup_->hide();

    chart_ = new HistoryChart(this);
    chart_->setObjectName(QStringLiteral("历史走势图"));
    chart_->setGeometry(kListWidth + kGap, 0, kChartWidth, kListHeight);

    // Window created.
    setWindowTitle(QStringLiteral("历史分析 - ") + FromGbk(titleGbk));
    FetchItemHistory();
}

void PriceHistoryWindow::FetchItemHistory() {
    QPointer<PriceHistoryWindow> window(this);
    RunInBackground([window = std::move(window), address = tools::ItemHistoryAddress(itemId_)]() mutable {
        const std::string body = web::WebRequest(address);
        tools::ItemHistory history = tools::ParseItemHistory(Utf8ToText(body));
        // The writes belong to this window only; when it has been closed they are dropped.
        PostToUi([window = std::move(window), history = std::move(history)] {
            if (window) {
                window->ApplyHistory(history);
            }
        });
    });
}

void PriceHistoryWindow::ApplyHistory(const tools::ItemHistory& history) {
    if (history.noHistory) {
        ShowToolMessage(this, QStringLiteral("Lumora提醒您："), QStringLiteral("未查询到历史记录！请稍候再重试！"));
        emit historyApplied(0);
        close();
        return;
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(history.rows.size()));
    for (const tools::HistoryRow& row : history.rows) {
        auto* item = new QTreeWidgetItem();
        for (int c = 0; c < tools::kHistoryColumnCount; ++c) {
            item->setText(c, FromGbk(row[static_cast<std::size_t>(c)]));
            item->setTextAlignment(c, ColumnAlignment(c));
        }
        items.append(item);
    }
    list_->addTopLevelItems(items);
    chart_->SetRows(history.rows);
    emit historyApplied(static_cast<int>(history.rows.size()));
}

bool PriceHistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = list_->viewport()->mapTo(list_, mouse->position().toPoint());
            // The row under the mouse is the selected row (the double-click's first press selected it).
            QTreeWidgetItem* row = list_->itemAt(mouse->position().toPoint());
            if (row != nullptr) {
                list_->setCurrentItem(row);
            }
            const QString title = row != nullptr ? row->text(tools::kHistTitle) : QString();
            if (!title.isEmpty()) {
                popup_->setText(title);
                popup_->setCursorPosition(0);
                popup_->move(at);
                popup_->show();
                popup_->raise();
            } else {
                popup_->hide();
            }
        } else if (event->type() == QEvent::MouseButtonPress &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            popup_->hide();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PriceHistoryWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int h = std::max(100, height() - (625 - kListHeight));
    list_->setGeometry(0, 0, kListWidth, h);
    chart_->setGeometry(kListWidth + kGap, 0, std::max(100, width() - kListWidth - kGap), h);
}

}  // namespace vantrel::gui
