// A pane of the status bar 状态条1: a text with a preferred width, which may shrink when the window is narrow.
// Pane 0 also shows the progress of a run as a bar behind its text (item n of count), so the status texts
// themselves stay as they are.
#pragma once

#include <QLabel>

namespace vantrel::gui {

class StatusPane final : public QLabel {
    Q_OBJECT
public:
    StatusPane(int preferredWidth, QWidget* parent = nullptr);

    // n of count (n 1-based); count <= 0 removes the bar.
    void SetProgress(int n, int count);
    int ProgressN() const { return n_; }
    int ProgressCount() const { return count_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int preferredWidth_;
    int n_ = 0;
    int count_ = 0;
};

}  // namespace vantrel::gui
