// The program's start-up window.
#pragma once

#include <QMainWindow>

namespace vantrel::gui {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace vantrel::gui
