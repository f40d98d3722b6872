#pragma once

#include <QWidget>

#include "customers/history_chart.h"

// The chart area "status": paints a HistoryChart in its user coordinates (x -366..0, y 10..-10),
// scaled to the widget's size. Keeps what it shows until the next chart or clear_chart().
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget* parent = nullptr);

    void set_chart(HistoryChart chart);
    void clear_chart();
    bool has_chart() const { return m_has_chart; }
    const HistoryChart& chart() const { return m_chart; }

    // Widget position of a chart point.
    QPointF to_widget(double x, double y) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HistoryChart m_chart;
    bool m_has_chart = false;
};
