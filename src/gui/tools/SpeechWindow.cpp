#include "tools/SpeechWindow.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/FileIO.h"
#include "tools/Speech.h"
#include "tools/ToolSeams.h"
#include "web/WebRequest.h"

namespace vantrel::gui {
namespace {

QString& SpeechFilePathSlot() {
    static QString path;
    return path;
}

}  // namespace

QString SpeechFilePath() {
    return SpeechFilePathSlot();
}

SpeechWindow::SpeechWindow(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("Vantrel - 文字转语音"));
    setFixedSize(650, 500);

    text_ = Placed(new QPlainTextEdit(this), "编辑框1", {0, 0, 645, 400});
    Placed(new QLabel(QStringLiteral("将输入的文字转成MP3语音文件。（甜美女声播音效果）"), this), "标签1",
           {16, 416, 376, 32});
    speak_ = Placed(new QPushButton(QStringLiteral("语音播读"), this), "按钮1", {430, 412, 152, 48});
    speak_->setAutoDefault(false);
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setSingleShot(true);  // idle at creation; started with 5000 ms after a save

    connect(speak_, &QPushButton::clicked, this, &SpeechWindow::OnSpeak);
    connect(timer_, &QTimer::timeout, this, &SpeechWindow::OnTimer);
}

void SpeechWindow::OnSpeak() {
    const QString text = text_->toPlainText();
    if (text.isEmpty()) {
        ShowToolMessage(this, QStringLiteral("信息："), QStringLiteral("还没输入文字呢！？"));
        return;
    }
    const QString path =
        AskSaveFileName(this, SaveFileRequest{QStringLiteral("保存为MP3"), QStringLiteral("*.mp3 (*.mp3)"),
                                              QStringLiteral("mp3"), lastPath_});
    if (path.isEmpty()) {
        return;
    }
    lastPath_ = path;
    SpeechFilePathSlot() = path;

    // The download runs on a worker thread, the button waits disabled, the window stays live.
    speak_->setEnabled(false);
    QPointer<SpeechWindow> window(this);
    RunInBackground([window = std::move(window), path,
                     address = tools::SpeechRequestAddress(tools::WithCrLfLineBreaks(ToGbk(text)))]() mutable {
        const std::string body = web::WebRequest(address);
        // Written whatever the bytes are; whether the write succeeds changes nothing that follows.
        const bool written = WriteFileAtomic(std::filesystem::path(QFile::encodeName(path).toStdString()), body);
        PostToUi([window = std::move(window), path, written] {
            if (window) {  // the timer belongs to the window: closed windows play nothing
                window->speak_->setEnabled(true);
                window->timer_->start(5000);
                emit window->fileSaved(path, written);
            }
        });
    });
}

void SpeechWindow::OnTimer() {
    timer_->stop();
    PlayMp3Once(SpeechFilePath());
}

}  // namespace vantrel::gui
