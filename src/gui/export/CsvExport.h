// "导出报表" (按钮4): every row of the list into a CSV file that the user names in the save dialog. Runs on the
// user-interface thread; the rows counted when the export starts are written, as the cells stand after the
// dialog has closed.
#pragma once

#include <QString>

namespace vantrel::gui {

class MainWindow;

class CsvExport {
public:
    explicit CsvExport(MainWindow& window) : window_(window) {}

    // The click handler.
    void Run();

    // The path of the previous successful export (the dialog's initial file name); empty before the first.
    const QString& LastPath() const { return lastPath_; }

private:
    MainWindow& window_;
    QString lastPath_;
};

}  // namespace vantrel::gui
