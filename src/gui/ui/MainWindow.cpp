#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QMovie>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include "analysis/ResultTable.h"
#include "export/CsvExport.h"
#include "export/HtmlReportExport.h"
#include "run/RunDriver.h"
#include "skin/Skin.h"
#include "tools/LinkTable.h"
#include "tools/ToolSeams.h"
#include "ui/ResultListView.h"
#include "ui/ResultModel.h"
#include "ui/StatusPane.h"
#include "vantrel/Config.h"

// The program's pictures live in a resource file compiled into the static GUI library; referencing it here keeps
// it linked into every program that makes a main window.
static void InitVantrelResources() {
    Q_INIT_RESOURCE(app);
}

namespace vantrel::gui {
namespace {

QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QPushButton* MakeButton(const char* name, const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    return button;
}

QLabel* MakeContactLabel(const char* name, std::string_view text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(FromUtf8(text), parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QTimer* MakeStageTimer(const char* name, QObject* parent) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromUtf8(name));
    timer->setSingleShot(true);
    return timer;
}

}  // namespace

const QString& MainWindow::Caption() {
    static const QString caption = QStringLiteral("Vantrel —— 分析店铺情况辅助工具（淘宝、天猫运营必备软件） V2.2");
    return caption;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    InitVantrelResources();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(Caption());
    setWindowIcon(QIcon(QStringLiteral(":/vantrel.ico")));
    resize(kOuterSize - kFrame);

    BuildForm();
    run_ = std::make_unique<RunDriver>(*this);
    csv_ = std::make_unique<CsvExport>(*this);
    html_ = std::make_unique<HtmlReportExport>(*this);
    BuildMenus();

    // The event map.
    connect(start_, &QPushButton::clicked, this, [this] { run_->StartRun(); });
    connect(savePage_, &QPushButton::clicked, this, [this] { html_->Start(); });
    connect(export_, &QPushButton::clicked, this, [this] { csv_->Run(); });
    connect(openLink_, &QPushButton::clicked, this, &MainWindow::OpenSelectedItem);
    connect(history_, &QPushButton::clicked, this, &MainWindow::OpenPriceHistory);
    connect(list_, &ResultListView::doubleClickedAnywhere, this, &MainWindow::OpenItemOnDoubleClick);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { listMenu_->popup(list_->viewport()->mapToGlobal(pos) + QPoint(3, 3)); });
    connect(timer1_, &QTimer::timeout, this, [this] { run_->StartCrawl(); });
    connect(timer2_, &QTimer::timeout, this, [this] { run_->StartAnalysis(); });
    connect(timer6_, &QTimer::timeout, this, [this] { run_->ReopenLoginWindow(); });

    HandleCreated();
}

MainWindow::~MainWindow() {
    RunExitRoutine();
}

void MainWindow::BuildForm() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("MainWindowClient"));
    setCentralWidget(client);
    client->installEventFilter(this);

    group_ = new QGroupBox(QStringLiteral("淘宝、天猫首页网址"), client);
    group_->setObjectName(QStringLiteral("分组框1"));
    group_->setGeometry(0, 5, 488, 65);

    address_ = new QComboBox(group_);
    address_->setObjectName(QStringLiteral("编辑框1"));
    address_->setEditable(true);
    address_->setInsertPolicy(QComboBox::NoInsert);
    address_->setCompleter(nullptr);
    address_->setGeometry(8, 29, 392, 20);

    start_ = MakeButton("按钮1", QStringLiteral("淘一下"), {409, 23, 64, 32}, group_);

    busy_ = new QLabel(client);
    busy_->setObjectName(QStringLiteral("图片框1"));
    busy_->setGeometry(345, 10, 60, 60);
    busy_->setAlignment(Qt::AlignCenter);
    busyMovie_ = new QMovie(QStringLiteral(":/busy.gif"), QByteArray(), busy_);
    busyMovie_->setScaledSize(QSize(60, 57));
    busy_->setMovie(busyMovie_);
    busy_->hide();
    busy_->installEventFilter(this);

    openLink_ = MakeButton("按钮5", QStringLiteral("打开链接"), {552, 15, 72, 24}, client);
    history_ = MakeButton("按钮6", QStringLiteral("历史分析"), {552, 44, 72, 24}, client);
    savePage_ = MakeButton("按钮3", QStringLiteral("保存页面"), {630, 21, 72, 40}, client);
    export_ = MakeButton("按钮4", QStringLiteral("导出报表"), {707, 21, 72, 40}, client);

    contact1_ = MakeContactLabel("透明标签2", config::VendorContact1Text, {815, 23, 167, 16}, client);
    contact2_ = MakeContactLabel("透明标签9", config::VendorContact2Text, {815, 47, 167, 16}, client);
    contact1_->installEventFilter(this);
    contact2_->installEventFilter(this);

    model_ = new ResultModel(this);
    list_ = new ResultListView(model_, client);
    list_->setObjectName(QStringLiteral("超级列表框1"));
    list_->setGeometry(1, 76, 788, 488);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("状态条1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(20);
    pane0_ = new StatusPane(300, bar);
    pane0_->setObjectName(QStringLiteral("状态条1.0"));
    pane1_ = new StatusPane(500, bar);
    pane1_->setObjectName(QStringLiteral("状态条1.1"));
    pane1_->setText(FromUtf8(config::VendorWelcomeText));
    pane1_->setToolTip(FromUtf8(config::VendorWelcomeTooltip));
    bar->addWidget(pane0_);
    bar->addWidget(pane1_);
    for (QObject* o : {static_cast<QObject*>(bar), static_cast<QObject*>(pane0_), static_cast<QObject*>(pane1_)}) {
        o->installEventFilter(this);
    }

    timer1_ = MakeStageTimer("时钟1", this);
    timer2_ = MakeStageTimer("时钟2", this);
    timer6_ = MakeStageTimer("时钟6", this);
}

void MainWindow::BuildMenus() {
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("托盘菜单"));
    trayMenu_->addAction(QStringLiteral("Kestrum官网"), this, [this] { OpenAddress(FromUtf8(Links().makerHome)); });
    trayMenu_->addAction(QStringLiteral("官方淘宝店"), this, [this] { OpenAddress(FromUtf8(Links().makerShop)); });
    trayMenu_->addSeparator();
    trayMenu_->addAction(QStringLiteral("短网址生成工具"), this, [this] {
        if (shortUrlTool_) {
            shortUrlTool_(*this);
        }
    });
    trayMenu_->addAction(QStringLiteral("文字转语音"), this, [this] {
        if (speechTool_) {
            speechTool_(*this);
        }
    });
    QMenu* sites = trayMenu_->addMenu(QStringLiteral("运营常用网址"));
    sites->setObjectName(QStringLiteral("运营常用网址"));
    for (const Link& link : Links().operationSites) {
        const QString url = FromUtf8(link.url);
        sites->addAction(FromUtf8(link.caption), this, [this, url] { OpenAddress(url); });
    }
    trayMenu_->addSeparator();
    QMenu* products = trayMenu_->addMenu(QStringLiteral("其他电商软件"));
    products->setObjectName(QStringLiteral("其他电商软件"));
    for (const Link& link : Links().otherProducts) {
        const QString url = FromUtf8(link.url);
        products->addAction(FromUtf8(link.caption), this, [this, url] { OpenAddress(url); });
    }
    trayMenu_->addSeparator();
    exit_ = trayMenu_->addAction(QStringLiteral("退出软件"), this, &MainWindow::Quit);

    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("右键菜单"));
    listOpenLink_ = listMenu_->addAction(QStringLiteral("打开链接"), this, &MainWindow::OpenSelectedItem);
    listHistory_ = listMenu_->addAction(QStringLiteral("历史分析"), this, &MainWindow::OpenPriceHistory);
}

void MainWindow::HandleCreated() {
    AttachSkin(2);
    PutIconInTray();
    run_->LoadAddressHistory();
}

void MainWindow::PutIconInTray() {
    // Without a tray host (some desktops, offscreen) the icon stays invisible and the program works all the same.
    tray_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/vantrel.ico")), this);
    tray_->setObjectName(QStringLiteral("托盘图标"));
    tray_->setToolTip(QStringLiteral("Vantrel"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
            case QSystemTrayIcon::Trigger:
            case QSystemTrayIcon::DoubleClick:  // the second click of a double-click: it toggles back
                ToggleVisibility();
                break;
            case QSystemTrayIcon::Context:
                PopUpTrayMenu(QCursor::pos());
                break;
            default:
                break;
        }
    });
    tray_->show();
}

QSize MainWindow::OuterSize() const {
    return size() + kFrame;
}

void MainWindow::ResizeOuter(const QSize& outer) {
    resize(outer - kFrame);
}

QString MainWindow::StatusText() const {
    return pane0_->text();
}

void MainWindow::SetStatus(const QString& text) {
    pane0_->setText(text);
}

std::string MainWindow::ShopAddress() const {
    return ToGbk(address_->currentText());
}

void MainWindow::SetShopAddress(const std::string& gbk) {
    address_->setEditText(FromGbk(gbk));
}

void MainWindow::OpenAddress(const QString& address) {
    if (open_) {
        open_(address);
        return;
    }
    const QFileInfo local(address);
    QDesktopServices::openUrl(local.isAbsolute() && local.exists() ? QUrl::fromLocalFile(address)
                                                                   : QUrl(address, QUrl::TolerantMode));
}

void MainWindow::SetOpenAction(OpenAction action) {
    open_ = std::move(action);
}

void MainWindow::SetQuitAction(std::function<void()> action) {
    quit_ = std::move(action);
}

void MainWindow::OpenSelectedItem() {
    const std::string& address = model_->Cell(list_->SelectedRow(), kItemUrl);
    if (address.empty()) {
        ShowToolMessage(this, QStringLiteral("信息："), QStringLiteral("未选择要打开的商品！"));
        return;
    }
    OpenAddress(FromGbk(address));
}

void MainWindow::OpenItemOnDoubleClick() {
    const std::string& address = model_->Cell(list_->SelectedRow(), kItemUrl);
    if (!address.empty()) {
        OpenAddress(FromGbk(address));
    }
}

void MainWindow::OpenPriceHistory() {
    if (priceHistoryTool_) {
        priceHistoryTool_(*this);
    }
}

void MainWindow::ToggleVisibility() {
    if (isVisible()) {
        hide();
    } else {
        show();
        raise();
        activateWindow();
    }
}

void MainWindow::PopUpTrayMenu(const QPoint& globalPos) {
    if (isVisible()) {
        raise();
        activateWindow();
    }
    // The menu's top-right corner 5 pixels left of and above the mouse.
    const QSize menu = trayMenu_->sizeHint();
    trayMenu_->popup(QPoint(globalPos.x() - 5 - menu.width(), globalPos.y() - 5));
}

void MainWindow::RunExitRoutine() {
    if (exited_) {
        return;
    }
    exited_ = true;
    run_->Shutdown();
    if (tray_ != nullptr) {
        tray_->hide();
    }
}

void MainWindow::Quit() {
    RunExitRoutine();
    if (quit_) {
        quit_();
    } else {
        QCoreApplication::exit(0);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    list_->resize((OuterSize() - kListMargin).expandedTo(QSize(0, 0)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing is always allowed and ends the program, also while a run or another window is open.
    event->accept();
    Quit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (watched == centralWidget() && mouse->button() == Qt::RightButton) {
                // The window background: no control under the mouse (the group box's frame counts as background).
                QWidget* under = centralWidget()->childAt(mouse->position().toPoint());
                if (under == nullptr || under == group_) {
                    trayMenu_->popup(mouse->globalPosition().toPoint() + QPoint(3, 3));
                    return true;
                }
            } else if (mouse->button() == Qt::LeftButton) {
                if (watched == contact1_) {
                    OpenAddress(FromUtf8(Links().groupJoinPages[0]));
                    return true;
                }
                if (watched == contact2_) {
                    OpenAddress(FromUtf8(Links().groupJoinPages[1]));
                    return true;
                }
                if (watched == statusBar() || watched == pane0_ || watched == pane1_) {
                    OpenAddress(FromUtf8(Links().makerHome));
                    return true;
                }
            }
            break;
        }
        case QEvent::Show:
            if (watched == busy_) {
                busyMovie_->start();
            }
            break;
        case QEvent::Hide:
            if (watched == busy_) {
                busyMovie_->stop();
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vantrel::gui
