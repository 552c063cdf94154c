// The default save dialog of the tools: a non-native QFileDialog in save mode that also refuses a file name
// whose folder does not exist (the dialog stays open and says so).
#pragma once

#include <QFileDialog>

namespace vantrel::gui {

class SaveFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit SaveFileDialog(QWidget* parent = nullptr);

public slots:
    void accept() override;
};

}  // namespace vantrel::gui
