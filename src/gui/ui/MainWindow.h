// MainWindow: the start-up window and the only one always present. It holds the form's controls (each with its
// form name as objectName), the tray icon with its menu, the list's pop-up menu and the event map; the run, the
// exports and the link commands act on it.
#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMovie;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace vantrel::gui {

class CsvExport;
class HtmlReportExport;
class ResultListView;
class ResultModel;
class RunDriver;
class StatusPane;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The caption, the form's outer size and the frame of the form's window around its client area.
    static const QString& Caption();
    static constexpr QSize kOuterSize{800, 625};
    static constexpr QSize kFrame{6, 28};
    // ResultList = outer size minus this.
    static constexpr QSize kListMargin{12, 137};

    // Builds the form and runs the "created" handler (skin, tray icon, address history).
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The outer size: the client area plus the form's frame (whatever frame the window manager draws, so the
    // list keeps the form's margins everywhere).
    QSize OuterSize() const;
    void ResizeOuter(const QSize& outer);

    // Controls.
    QGroupBox* AddressGroup() const { return group_; }      // 分组框1
    QComboBox* ShopAddressBox() const { return address_; }  // 编辑框1
    QPushButton* StartButton() const { return start_; }     // 按钮1
    QLabel* BusyPicture() const { return busy_; }           // 图片框1
    QMovie* BusyMovie() const { return busyMovie_; }
    QPushButton* OpenLinkButton() const { return openLink_; }  // 按钮5
    QPushButton* HistoryButton() const { return history_; }    // 按钮6
    QPushButton* SavePageButton() const { return savePage_; }  // 按钮3
    QPushButton* ExportButton() const { return export_; }      // 按钮4
    QLabel* ContactLabel1() const { return contact1_; }        // 透明标签2
    QLabel* ContactLabel2() const { return contact2_; }        // 透明标签9
    ResultListView* ResultList() const { return list_; }       // 超级列表框1
    ResultModel* Results() const { return model_; }
    StatusPane* StatusPane0() const { return pane0_; }  // 状态条1, pane 0
    QLabel* StatusPane1() const { return pane1_; }
    QTimer* Timer1() const { return timer1_; }     // 时钟1
    QTimer* Timer2() const { return timer2_; }     // 时钟2
    QTimer* Timer6() const { return timer6_; }     // 时钟6
    QMenu* TrayMenu() const { return trayMenu_; }  // 托盘菜单
    QMenu* ListMenu() const { return listMenu_; }  // 右键菜单
    QAction* ListOpenLinkAction() const { return listOpenLink_; }
    QAction* ListHistoryAction() const { return listHistory_; }
    QAction* ExitAction() const { return exit_; }
    QSystemTrayIcon* Tray() const { return tray_; }

    RunDriver& Run() const { return *run_; }
    CsvExport& Csv() const { return *csv_; }
    HtmlReportExport& HtmlReport() const { return *html_; }

    // Status pane 0.
    QString StatusText() const;
    void SetStatus(const QString& text);

    // The address box's text in GBK, and back.
    std::string ShopAddress() const;
    void SetShopAddress(const std::string& gbk);

    // Hands an address (web page or folder) to the desktop's "open" action. Tests replace the action.
    using OpenAction = std::function<void(const QString& address)>;
    void OpenAddress(const QString& address);
    void SetOpenAction(OpenAction action);

    // "退出软件": ends the program at once. Tests replace the action.
    void SetQuitAction(std::function<void()> action);

    // The tool windows, wired by the tools: "短网址生成工具", "文字转语音" and "历史分析" (按钮6 and the list
    // menu's item). Each hook gets this window; an unset hook does nothing.
    using ToolHook = std::function<void(MainWindow& window)>;
    void SetShortUrlTool(ToolHook hook) { shortUrlTool_ = std::move(hook); }
    void SetSpeechTool(ToolHook hook) { speechTool_ = std::move(hook); }
    void SetPriceHistoryTool(ToolHook hook) { priceHistoryTool_ = std::move(hook); }

    // Row commands: "打开链接" (button and list menu) and the double-click.
    void OpenSelectedItem();
    void OpenItemOnDoubleClick();
    void OpenPriceHistory();

    // The tray icon's events: left button released toggles the window, right button pops up 托盘菜单.
    void ToggleVisibility();
    void PopUpTrayMenu(const QPoint& globalPos);

    // The exit routine: ends the run's workers' hold on the window, closes the capture window and removes the
    // tray icon. Runs once, on whichever way the program ends.
    void RunExitRoutine();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildForm();
    void BuildMenus();
    void HandleCreated();
    void PutIconInTray();
    void Quit();

    QGroupBox* group_ = nullptr;
    QComboBox* address_ = nullptr;
    QPushButton* start_ = nullptr;
    QLabel* busy_ = nullptr;
    QMovie* busyMovie_ = nullptr;
    QPushButton* openLink_ = nullptr;
    QPushButton* history_ = nullptr;
    QPushButton* savePage_ = nullptr;
    QPushButton* export_ = nullptr;
    QLabel* contact1_ = nullptr;
    QLabel* contact2_ = nullptr;
    ResultModel* model_ = nullptr;
    ResultListView* list_ = nullptr;
    StatusPane* pane0_ = nullptr;
    QLabel* pane1_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* timer6_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QAction* listOpenLink_ = nullptr;
    QAction* listHistory_ = nullptr;
    QAction* exit_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;

    std::unique_ptr<RunDriver> run_;
    std::unique_ptr<CsvExport> csv_;
    std::unique_ptr<HtmlReportExport> html_;

    OpenAction open_;
    std::function<void()> quit_;
    ToolHook shortUrlTool_;
    ToolHook speechTool_;
    ToolHook priceHistoryTool_;
    bool exited_ = false;
};

}  // namespace vantrel::gui
