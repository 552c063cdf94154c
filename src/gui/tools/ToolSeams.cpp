#include "tools/ToolSeams.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>

#include "tools/SaveFileDialog.h"
#include "web/Encoding.h"

namespace vantrel::gui {
namespace {

MessageHook& MessageHookSlot() {
    static MessageHook hook;
    return hook;
}

SaveFileHook& SaveFileHookSlot() {
    static SaveFileHook hook;
    return hook;
}

PlayHook& PlayHookSlot() {
    static PlayHook hook;
    return hook;
}

void DefaultMessage(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString DefaultSaveFile(QWidget* parent, const SaveFileRequest& request) {
    QPointer<SaveFileDialog> dialog = CreateSaveFileDialog(parent, request);
    const int rc = dialog->exec();
    if (!dialog) {
        return {};
    }
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    return rc == QDialog::Accepted && !files.isEmpty() ? files.first() : QString();
}

QPointer<QMediaPlayer>& PlayerSlot() {
    static QPointer<QMediaPlayer> player;
    return player;
}

// One player for the whole program: a sound goes on when the window that started it closes.
void DefaultPlay(const QString& path) {
    QPointer<QMediaPlayer>& player = PlayerSlot();
    if (!player) {
        // The ffmpeg backend crashes on machines without a sound device; GStreamer plays (or fails) quietly.
        if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) {
            qputenv("QT_MEDIA_BACKEND", "gstreamer");
        }
        player = new QMediaPlayer(QCoreApplication::instance());
        player->setAudioOutput(new QAudioOutput(player));
    }
    player->stop();
    player->setSource(QUrl());  // the same path again must be read anew: the file has been replaced
    player->setSource(QUrl::fromLocalFile(path));
    player->play();
}

QThreadPool* ToolPool() {
    static QPointer<QThreadPool> pool;
    if (!pool) {
        // Child of the application: its destruction waits for the running fetches.
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(64);
    }
    return pool;
}

}  // namespace

SaveFileDialog::SaveFileDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
}

void SaveFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
        const QFileInfo info(files.first());
        if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) {
            ShowToolMessage(this, windowTitle(),
                            QStringLiteral("文件夹不存在：%1\n请检查路径后重试。")
                                .arg(QDir::toNativeSeparators(info.absolutePath())));
            return;
        }
    }
    QFileDialog::accept();
}

void SetMessageHook(MessageHook hook) {
    MessageHookSlot() = std::move(hook);
}

void ShowToolMessage(QWidget* parent, const QString& title, const QString& text) {
    if (MessageHookSlot()) {
        MessageHookSlot()(parent, title, text);
    } else {
        DefaultMessage(parent, title, text);
    }
}

void SetSaveFileHook(SaveFileHook hook) {
    SaveFileHookSlot() = std::move(hook);
}

QString AskSaveFileName(QWidget* parent, const SaveFileRequest& request) {
    return SaveFileHookSlot() ? SaveFileHookSlot()(parent, request) : DefaultSaveFile(parent, request);
}

SaveFileDialog* CreateSaveFileDialog(QWidget* parent, const SaveFileRequest& request) {
    auto* dialog = new SaveFileDialog(parent);
    dialog->setWindowTitle(request.title);
    dialog->setNameFilter(request.filter);
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (!request.initialPath.isEmpty()) {
        const QFileInfo info(request.initialPath);
        if (info.absoluteDir().exists()) {
            dialog->setDirectory(info.absoluteDir());
        }
        dialog->selectFile(info.fileName());
    }
    return dialog;
}

QMediaPlayer* ToolMediaPlayer() {
    return PlayerSlot();
}

void SetPlayHook(PlayHook hook) {
    PlayHookSlot() = std::move(hook);
}

void PlayMp3Once(const QString& path) {
    if (PlayHookSlot()) {
        PlayHookSlot()(path);
    } else {
        DefaultPlay(path);
    }
}

void RunInBackground(std::function<void()> job) {
    ToolPool()->start(std::move(job));
}

void PostToUi(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

std::string ToGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString FromGbk(std::string_view gbk) {
    const std::string utf8 = GbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace vantrel::gui
