// The replaceable seams of the tool windows: message boxes, the save dialog and MP3 playback, plus the
// worker-thread helpers. Tests replace the seams so that nothing modal, no sound
// device and no outside host is needed. Every Set... call with an empty function restores the default.
#pragma once

#include <QRect>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QMediaPlayer;
class QWidget;

namespace vantrel::gui {

// A modal message box with one OK button (title, text). Default: QMessageBox::information.
using MessageHook = std::function<void(QWidget* parent, const QString& title, const QString& text)>;
void SetMessageHook(MessageHook hook);
void ShowToolMessage(QWidget* parent, const QString& title, const QString& text);

// A save-file dialog. Returns the chosen path, or an empty text when the user cancels.
struct SaveFileRequest {
    QString title;          // dialog caption, e.g. "保存为MP3"
    QString filter;         // Qt filter text, e.g. "*.mp3 (*.mp3)" (shown as "*.mp3")
    QString defaultSuffix;  // appended to a name typed without extension, e.g. "mp3"
    QString initialPath;    // the file-name field's initial content (empty, or the previous choice)
};
using SaveFileHook = std::function<QString(QWidget* parent, const SaveFileRequest& request)>;
void SetSaveFileHook(SaveFileHook hook);
QString AskSaveFileName(QWidget* parent, const SaveFileRequest& request);

// The default save dialog itself (a non-native QFileDialog in save mode: the dialog confirms overwriting,
// refuses a folder that does not exist, and appends the default suffix). Exposed for tests.
class SaveFileDialog;
SaveFileDialog* CreateSaveFileDialog(QWidget* parent, const SaveFileRequest& request);

// Plays an MP3 file once, asynchronously. Default: one process-wide QMediaPlayer (GStreamer backend unless
// QT_MEDIA_BACKEND says otherwise).
using PlayHook = std::function<void(const QString& path)>;
void SetPlayHook(PlayHook hook);
void PlayMp3Once(const QString& path);
// The default playback's player (nullptr before its first use).
QMediaPlayer* ToolMediaPlayer();

// Runs job on a worker thread of the tools' own pool (threads are not kept by the callers).
void RunInBackground(std::function<void()> job);

// Queues fn to run on the user-interface thread. Callable from any thread; dropped when the application is gone.
void PostToUi(std::function<void()> fn);

// Gives a form control its form name (as objectName, UTF-8) and its geometry; returns it.
template <typename Widget>
Widget* Placed(Widget* widget, const char* formName, const QRect& geometry) {
    widget->setObjectName(QString::fromUtf8(formName));
    widget->setGeometry(geometry);
    return widget;
}

// Text conversions between Qt's strings and the program's GBK texts.
std::string ToGbk(const QString& text);
QString FromGbk(std::string_view gbk);

}  // namespace vantrel::gui
