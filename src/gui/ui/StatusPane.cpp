#include "ui/StatusPane.h"

#include <QPainter>
#include <algorithm>

namespace vantrel::gui {

StatusPane::StatusPane(int preferredWidth, QWidget* parent) : QLabel(parent), preferredWidth_(preferredWidth) {
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
    setContentsMargins(2, 0, 2, 0);
}

void StatusPane::SetProgress(int n, int count) {
    if (count <= 0) {
        n = 0;
        count = 0;
    }
    if (n == n_ && count == count_) {
        return;
    }
    n_ = std::clamp(n, 0, std::max(count, 0));
    count_ = count;
    setToolTip(count_ > 0 ? QStringLiteral("%1 / %2").arg(n_).arg(count_) : QString());
    update();
}

QSize StatusPane::sizeHint() const {
    return {preferredWidth_, QLabel::sizeHint().height()};
}

QSize StatusPane::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void StatusPane::paintEvent(QPaintEvent* event) {
    if (count_ > 0) {
        QPainter painter(this);
        QColor fill = palette().color(QPalette::Highlight);
        fill.setAlpha(60);
        const int w = static_cast<int>(static_cast<long long>(width()) * n_ / count_);
        painter.fillRect(QRect(0, 1, w, height() - 2), fill);
    }
    QLabel::paintEvent(event);
}

}  // namespace vantrel::gui
