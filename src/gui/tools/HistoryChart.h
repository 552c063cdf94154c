// The price and the 30-day sales of the price-history window over the dates, with the lowest
// price marked (Qt Charts). Fed from the same rows as the list.
#pragma once

#include <QChartView>
#include <vector>

#include "tools/ItemHistory.h"

class QLineSeries;
class QScatterSeries;

namespace vantrel::gui {

class HistoryChart : public QChartView {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    // Replaces the chart's content with these rows (an empty list shows an empty chart).
    void SetRows(const std::vector<tools::HistoryRow>& rows);

    QLineSeries* PriceSeries() const { return price_; }
    QLineSeries* SalesSeries() const { return sales_; }
    QScatterSeries* LowestMark() const { return lowest_; }
    bool UsesDateAxis() const { return dateAxis_; }

private:
    QLineSeries* price_ = nullptr;
    QLineSeries* sales_ = nullptr;
    QScatterSeries* lowest_ = nullptr;
    bool dateAxis_ = false;
};

}  // namespace vantrel::gui
