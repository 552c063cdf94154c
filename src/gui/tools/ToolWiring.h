// Connects the main window's tool commands to the tool windows: the tray menu's "短网址生成工具" and "文字转语音",
// and "历史分析" (button 按钮6 and the result list's right-click item) on the selected row.
#pragma once

namespace vantrel::gui {

class MainWindow;

void WireTools(MainWindow& window);

}  // namespace vantrel::gui
