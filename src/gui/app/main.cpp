// Entry of the desktop program.
#include <QApplication>

#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vantrel::gui::MainWindow window;
    window.show();
    return app.exec();
}
