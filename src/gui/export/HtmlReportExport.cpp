#include "export/HtmlReportExport.h"

#include <QFile>
#include <QPushButton>

#include "app/DataFolder.h"
#include "app/FileIO.h"
#include "export/Reports.h"
#include "run/RunController.h"
#include "run/RunDriver.h"
#include "run/Workers.h"
#include "tools/ToolSeams.h"
#include "ui/MainWindow.h"
#include "ui/ResultModel.h"
#include "web/WebRequest.h"

namespace vantrel::gui {

void HtmlReportExport::Start() {
    QPushButton* button = window_.SavePageButton();
    button->setEnabled(false);
    const int rows = window_.Results()->RowCount();
    if (rows < 1) {
        ShowToolMessage(&window_, FromGbk(texts::WarningTitle()), QStringLiteral("暂无数据可保存"));
        button->setEnabled(true);
        return;
    }
    // The layout is fixed once, from the address as it stands now.
    const std::string address = window_.ShopAddress();
    const std::filesystem::path folder = DataFolder();
    const std::shared_ptr<UiGate> gate = window_.Run().Gate();
    MainWindow* window = &window_;
    StartWorker([this, window, gate, rows, address, folder, fetch = window_.Run().Fetcher()] {
        const std::string title = ReportTitleFor(web::PageText(fetch(address)), address);
        ResultTable table;
        if (!gate->Call([&] { table = window->Results()->FirstRows(rows); })) {
            return;
        }
        const std::string page = BuildHtmlReport(table, ExportLayoutFor(address), title);
        // The shop name is GBK; the file system wants UTF-8 names.
        const std::filesystem::path file = ReportFilePath(folder, title);
        const bool written = WriteFileAtomic(file, page);
        gate->Call([&] {
            if (written) {
                window->OpenAddress(QFile::decodeName(folder.c_str()));
            }
            window->SavePageButton()->setEnabled(true);
            emit finished(written ? QFile::decodeName(file.c_str()) : QString());
        });
    });
}

}  // namespace vantrel::gui
