#include "tools/Tools.h"

#include "analysis/ResultTable.h"
#include "tools/PriceHistoryWindow.h"
#include "tools/ShortUrlWindow.h"
#include "tools/SpeechWindow.h"
#include "tools/ToolSeams.h"

namespace vantrel::gui {
namespace {

std::string& HistoryItemIdSlot() {
    static std::string value;
    return value;
}

std::string& HistoryItemTitleSlot() {
    static std::string value;
    return value;
}

template <typename Window>
Window* ShowModal(Window* window) {
    window->show();
    window->activateWindow();
    return window;
}

}  // namespace

const std::string& HistoryItemId() {
    return HistoryItemIdSlot();
}
const std::string& HistoryItemTitle() {
    return HistoryItemTitleSlot();
}

PriceHistoryWindow* OpenPriceHistoryForRow(QWidget* parent, const ResultTable& table, int row) {
    return OpenPriceHistory(parent, table.Cell(row, kItemId), table.Cell(row, kTitle));
}

PriceHistoryWindow* OpenPriceHistory(QWidget* parent, std::string_view itemIdGbk, std::string_view titleGbk) {
    HistoryItemIdSlot() = std::string(itemIdGbk);
    HistoryItemTitleSlot() = std::string(titleGbk);
    if (HistoryItemIdSlot().empty()) {
        ShowToolMessage(parent, QStringLiteral("信息："), QStringLiteral("未选择要分析的商品"));
        return nullptr;
    }
    return ShowModal(new PriceHistoryWindow(HistoryItemIdSlot(), HistoryItemTitleSlot(), parent));
}

ShortUrlWindow* OpenShortUrlTool(QWidget* parent) {
    return ShowModal(new ShortUrlWindow(parent));
}

SpeechWindow* OpenSpeechTool(QWidget* parent) {
    return ShowModal(new SpeechWindow(parent));
}

}  // namespace vantrel::gui
