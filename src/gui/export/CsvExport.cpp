#include "export/CsvExport.h"

#include <QFile>
#include <QPushButton>

#include "app/FileIO.h"
#include "export/Reports.h"
#include "run/RunController.h"
#include "tools/ToolSeams.h"
#include "ui/MainWindow.h"
#include "ui/ResultModel.h"

namespace vantrel::gui {

void CsvExport::Run() {
    QPushButton* button = window_.ExportButton();
    button->setEnabled(false);
    const int rows = window_.Results()->RowCount();
    if (rows < 1) {
        ShowToolMessage(&window_, FromGbk(texts::WarningTitle()), QStringLiteral("暂无数据可导出！"));
    } else {
        SaveFileRequest request;
        request.title = QStringLiteral("导出为CSV文档");
        request.filter = QStringLiteral("*.csv");
        request.defaultSuffix = QStringLiteral("csv");
        request.initialPath = lastPath_;
        const QString path = AskSaveFileName(&window_, request);
        if (!path.isEmpty()) {
            const ExportLayout layout = ExportLayoutFor(window_.ShopAddress());
            const std::string bytes = BuildCsv(window_.Results()->FirstRows(rows), layout);
            if (WriteFileAtomic(QFile::encodeName(path).toStdString(), bytes)) {
                lastPath_ = path;
                ShowToolMessage(&window_, QStringLiteral("恭喜："), QStringLiteral("导出CSV成功！"));
            }
        }
    }
    button->setEnabled(true);
}

}  // namespace vantrel::gui
