#include "tools/ToolWiring.h"

#include "tools/Tools.h"
#include "ui/MainWindow.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"

namespace vantrel::gui {

void WireTools(MainWindow& window) {
    window.SetShortUrlTool([](MainWindow& w) { OpenShortUrlTool(&w); });
    window.SetSpeechTool([](MainWindow& w) { OpenSpeechTool(&w); });
    window.SetPriceHistoryTool(
        [](MainWindow& w) { OpenPriceHistoryForRow(&w, w.Results()->Table(), w.ResultList()->SelectedRow()); });
}

}  // namespace vantrel::gui
