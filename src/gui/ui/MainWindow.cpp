#include "ui/MainWindow.h"

namespace vantrel::gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Vantrel —— 分析店铺情况辅助工具（淘宝、天猫运营必备软件） V2.2"));
    resize(800, 625);
}

}  // namespace vantrel::gui
