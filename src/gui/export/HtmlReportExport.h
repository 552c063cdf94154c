// "保存页面" (按钮3): the list as an HTML page with thumbnails, named after the shop, written into the data folder,
// which is then opened in the file manager. The shop page is fetched and the page built on a worker thread; the
// button stays disabled until the report is done.
#pragma once

#include <QObject>
#include <QString>

namespace vantrel::gui {

class MainWindow;

class HtmlReportExport final : public QObject {
    Q_OBJECT
public:
    explicit HtmlReportExport(MainWindow& window) : window_(window) {}

    // The click handler: returns at once.
    void Start();

signals:
    // The report has ended: written (path of the file) or not (empty path).
    void finished(const QString& path);

private:
    MainWindow& window_;
};

}  // namespace vantrel::gui
