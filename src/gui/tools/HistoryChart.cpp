#include "tools/HistoryChart.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace vantrel::gui {
namespace {

double PointX(const tools::HistoryPoint& p, bool dated) {
    if (dated) {
        return static_cast<double>(QDate(p.date->year, p.date->month, p.date->day).startOfDay().toMSecsSinceEpoch());
    }
    return p.serial;
}

// An axis range with a little room above and below, never empty.
void FitRange(QValueAxis* axis, double lo, double hi) {
    if (!(hi > lo)) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, lo + 1.0);
    }
    const double pad = (hi - lo) * 0.08;
    axis->setRange(std::max(0.0, lo - pad), hi + pad);
    axis->applyNiceNumbers();
}

}  // namespace

HistoryChart::HistoryChart(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    SetRows({});
}

void HistoryChart::SetRows(const std::vector<tools::HistoryRow>& rows) {
    const tools::HistorySeries data = tools::HistoryChartSeries(rows);
    dateAxis_ = data.allDated;

    auto* chart = new QChart();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setTitle(QStringLiteral("价格与30天内销量走势"));
    chart->legend()->setAlignment(Qt::AlignBottom);

    price_ = new QLineSeries(chart);
    price_->setName(QStringLiteral("价格（元）"));
    price_->setPen(QPen(QColor(0xD9, 0x3A, 0x2B), 2));
    sales_ = new QLineSeries(chart);
    sales_->setName(QStringLiteral("30天内销量"));
    sales_->setPen(QPen(QColor(0x2B, 0x6C, 0xD9), 2));
    lowest_ = new QScatterSeries(chart);
    lowest_->setName(QStringLiteral("最低价"));
    lowest_->setMarkerSize(11);
    lowest_->setColor(QColor(0x1E, 0x9E, 0x4A));
    lowest_->setPointLabelsVisible(true);
    lowest_->setPointLabelsFormat(QStringLiteral("最低 @yPoint 元"));
    lowest_->setPointLabelsClipping(false);

    // Points in the order of their x values: the service may send its days in any order.
    std::vector<std::size_t> order(data.points.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return PointX(data.points[a], dateAxis_) < PointX(data.points[b], dateAxis_);
    });
    double priceLo = 0, priceHi = 0, salesLo = 0, salesHi = 0;
    bool first = true;
    for (std::size_t i : order) {
        const tools::HistoryPoint& p = data.points[i];
        const double x = PointX(p, dateAxis_);
        price_->append(x, p.price);
        sales_->append(x, p.sales);
        priceLo = first ? p.price : std::min(priceLo, p.price);
        priceHi = first ? p.price : std::max(priceHi, p.price);
        salesLo = first ? p.sales : std::min(salesLo, p.sales);
        salesHi = first ? p.sales : std::max(salesHi, p.sales);
        first = false;
    }
    if (data.lowest >= 0) {
        const tools::HistoryPoint& p = data.points[static_cast<std::size_t>(data.lowest)];
        lowest_->append(PointX(p, dateAxis_), p.price);
    }

    chart->addSeries(price_);
    chart->addSeries(sales_);
    chart->addSeries(lowest_);

    QAbstractAxis* xAxis = nullptr;
    if (dateAxis_) {
        auto* axis = new QDateTimeAxis(chart);
        axis->setFormat(QStringLiteral("MM-dd"));
        axis->setTitleText(QStringLiteral("日期"));
        // Ticks on whole days, at most 8: the range ends on a whole number of steps of whole days.
        constexpr double kDayMs = 86400000.0;
        const double lo = price_->at(0).x();
        const auto days = std::max<long long>(1, std::llround((price_->at(price_->count() - 1).x() - lo) / kDayMs));
        const long long step = (days + 6) / 7;
        const long long steps = (days + step - 1) / step;
        const double hi = lo + static_cast<double>(steps * step) * kDayMs;
        axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi)));
        axis->setTickCount(static_cast<int>(steps) + 1);
        xAxis = axis;
    } else {
        auto* axis = new QValueAxis(chart);
        axis->setTitleText(QStringLiteral("序号"));
        axis->setLabelFormat(QStringLiteral("%d"));
        const int n = std::max<int>(1, price_->count());
        axis->setRange(n > 1 ? 1 : 0, n > 1 ? n : 2);
        axis->setTickCount(std::clamp(n, 2, 6));
        xAxis = axis;
    }
    auto* priceAxis = new QValueAxis(chart);
    priceAxis->setTitleText(QStringLiteral("价格（元）"));
    priceAxis->setLabelFormat(QStringLiteral("%.2f"));
    FitRange(priceAxis, priceLo, priceHi);
    auto* salesAxis = new QValueAxis(chart);
    salesAxis->setTitleText(QStringLiteral("30天内销量"));
    salesAxis->setLabelFormat(QStringLiteral("%d"));
    FitRange(salesAxis, salesLo, salesHi);

    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(priceAxis, Qt::AlignLeft);
    chart->addAxis(salesAxis, Qt::AlignRight);
    price_->attachAxis(xAxis);
    price_->attachAxis(priceAxis);
    lowest_->attachAxis(xAxis);
    lowest_->attachAxis(priceAxis);
    sales_->attachAxis(xAxis);
    sales_->attachAxis(salesAxis);

    QChart* old = this->chart();
    setChart(chart);
    delete old;
}

}  // namespace vantrel::gui
