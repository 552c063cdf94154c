// The text-to-speech tool window: text in, an MP3 file of the speech service out, played once 5 s later.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace vantrel::gui {

// SpeechFilePath: the path of the last MP3 file saved by any speech window (process-wide, UI thread only).
QString SpeechFilePath();

class SpeechWindow : public QDialog {
    Q_OBJECT
public:
    explicit SpeechWindow(QWidget* parent = nullptr);

    QPlainTextEdit* TextBox() const { return text_; }    // 编辑框1
    QPushButton* SpeakButton() const { return speak_; }  // 按钮1 "语音播读"
    QTimer* PlayTimer() const { return timer_; }         // 时钟1
    QString LastChosenPath() const { return lastPath_; }

signals:
    // The answer of a request has been written (or the write failed) and 时钟1 started.
    void fileSaved(const QString& path, bool written);

private:
    void OnSpeak();
    void OnTimer();

    QPlainTextEdit* text_ = nullptr;
    QPushButton* speak_ = nullptr;
    QTimer* timer_ = nullptr;
    QString lastPath_;  // the save dialog's file name of the previous save of this window
};

}  // namespace vantrel::gui
