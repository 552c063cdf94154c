// The short-URL tool window: a long address in, a short link of the public short-link service out.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel::gui {

class ShortUrlWindow : public QDialog {
    Q_OBJECT
public:
    explicit ShortUrlWindow(QWidget* parent = nullptr);

    QLineEdit* LongAddressBox() const { return longBox_; }  // 编辑框1
    QLineEdit* ShortLinkBox() const { return shortBox_; }   // 编辑框2
    QPushButton* PasteButton() const { return paste_; }     // 按钮1 "粘贴长网址"
    QPushButton* CopyButton() const { return copy_; }       // 按钮2 "复制短网址"
    QPushButton* ClearButton() const { return clear_; }     // 按钮3 "清空"
    QPushButton* MakeButton() const { return make_; }       // 按钮4 "生成短网址"

signals:
    // A request's result has been written into 编辑框2.
    void resultShown(const QString& text);

private:
    void OnPaste();
    void OnCopy();
    void OnClear();
    void OnMake();
    // Asks the short-link service on a worker thread; the result lands in 编辑框2 if the window is still open.
    void MakeShortUrl(const std::string& longAddressGbk);

    QLineEdit* longBox_ = nullptr;
    QLineEdit* shortBox_ = nullptr;
    QPushButton* paste_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* make_ = nullptr;
};

}  // namespace vantrel::gui
