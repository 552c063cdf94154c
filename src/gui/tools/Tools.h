// Entry points of the tool windows for the main window's commands.
//
// Every window is application-modal (the main window takes no input until it closes), deletes itself when
// closed, and is returned so the caller may watch it; the calls return at once (no nested event loop).
#pragma once

#include <string>
#include <string_view>

class QWidget;

namespace vantrel {
class ResultTable;
}

namespace vantrel::gui {

class PriceHistoryWindow;
class ShortUrlWindow;
class SpeechWindow;

// The hand-over values of "历史分析" (GBK), kept until the next command.
const std::string& HistoryItemId();
const std::string& HistoryItemTitle();

// "历史分析" (button 按钮6 and the list's right-click item): row = the selected row of the result list, -1 when
// none. Takes cell 11 (itemId) into HistoryItemId and cell 1 (title) into HistoryItemTitle; when the id is empty
// shows "未选择要分析的商品" (title "信息：") and returns nullptr, otherwise opens the PriceHistoryWindow.
PriceHistoryWindow* OpenPriceHistoryForRow(QWidget* parent, const ResultTable& table, int row);

// The same with the two cells given directly (GBK; pass empty texts when no row is selected).
PriceHistoryWindow* OpenPriceHistory(QWidget* parent, std::string_view itemIdGbk, std::string_view titleGbk);

// Tray menu item "短网址生成工具".
ShortUrlWindow* OpenShortUrlTool(QWidget* parent);

// Tray menu item "文字转语音".
SpeechWindow* OpenSpeechTool(QWidget* parent);

}  // namespace vantrel::gui
