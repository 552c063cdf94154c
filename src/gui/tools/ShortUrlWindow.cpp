#include "tools/ShortUrlWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "tools/ShortUrl.h"
#include "tools/ToolSeams.h"
#include "web/Encoding.h"
#include "web/WebRequest.h"

namespace vantrel::gui {

ShortUrlWindow::ShortUrlWindow(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("Vantrel - 短网址生成"));
    setFixedSize(673, 250);

    Placed(new QLabel(QStringLiteral("原网址："), this), "标签1", {20, 32, 56, 24});
    longBox_ = Placed(new QLineEdit(this), "编辑框1", {68, 28, 452, 32});
    paste_ = Placed(new QPushButton(QStringLiteral("粘贴长网址"), this), "按钮1", {529, 28, 120, 32});
    Placed(new QLabel(QStringLiteral("短网址："), this), "标签2", {20, 80, 56, 24});
    shortBox_ = Placed(new QLineEdit(this), "编辑框2", {68, 76, 260, 32});
    copy_ = Placed(new QPushButton(QStringLiteral("复制短网址"), this), "按钮2", {336, 76, 248, 32});
    clear_ = Placed(new QPushButton(QStringLiteral("清空"), this), "按钮3", {592, 76, 57, 32});
    make_ = Placed(new QPushButton(QStringLiteral("生成短网址"), this), "按钮4", {440, 144, 200, 56});
    for (QPushButton* b : {paste_, copy_, clear_, make_}) {
        b->setAutoDefault(false);  // Return in a box must not press a button
    }

    connect(paste_, &QPushButton::clicked, this, &ShortUrlWindow::OnPaste);
    connect(copy_, &QPushButton::clicked, this, &ShortUrlWindow::OnCopy);
    connect(clear_, &QPushButton::clicked, this, &ShortUrlWindow::OnClear);
    connect(make_, &QPushButton::clicked, this, &ShortUrlWindow::OnMake);
}

void ShortUrlWindow::OnPaste() {
    longBox_->setFocus();
    longBox_->selectAll();
    const QString clip = QGuiApplication::clipboard()->text();
    if (!clip.isEmpty()) {  // without text in the clipboard the box keeps its text
        longBox_->insert(clip);
    }
}

void ShortUrlWindow::OnCopy() {
    shortBox_->setFocus();
    shortBox_->selectAll();
    shortBox_->copy();
}

void ShortUrlWindow::OnClear() {
    longBox_->clear();
    shortBox_->clear();
}

void ShortUrlWindow::OnMake() {
    if (longBox_->text().isEmpty()) {
        ShowToolMessage(this, QStringLiteral("信息："), QStringLiteral("请输入长网址！"));
        return;
    }
    const std::string current = ToGbk(longBox_->text());
    const std::string withScheme = tools::WithHttpScheme(current);
    if (withScheme != current) {
        longBox_->setText(QStringLiteral("http://") + longBox_->text());
    }
    MakeShortUrl(withScheme);
}

void ShortUrlWindow::MakeShortUrl(const std::string& longAddressGbk) {
    QPointer<ShortUrlWindow> window(this);
    RunInBackground([window = std::move(window), address = tools::ShortUrlRequestAddress(longAddressGbk)]() mutable {
        const std::optional<std::string> link = tools::ShortLinkFromAnswer(Utf8ToText(web::WebRequest(address)));
        const QString text = link ? FromGbk(*link) : QStringLiteral("生成失败，请重试！");
        // A result arriving after the window has closed is dropped.
        PostToUi([window = std::move(window), text] {
            if (window) {
                window->shortBox_->setText(text);
                emit window->resultShown(text);
            }
        });
    });
}

}  // namespace vantrel::gui
