#include "ui/chart_widget.h"

#include <QPainter>

namespace {

const QColor kBackground(224, 224, 224);
const QColor kGrid(200, 200, 200);

}  // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("status"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

void ChartWidget::set_chart(HistoryChart chart) {
    m_chart = std::move(chart);
    m_has_chart = true;
    update();
}

void ChartWidget::clear_chart() {
    m_has_chart = false;
    update();
}

QPointF ChartWidget::to_widget(double x, double y) const {
    // Painted in floating point so the chart follows the window's size and stays sharp on
    // high-density screens, where a logical pixel is several device pixels.
    const double w = width();
    const double h = height();
    return {(x - kChartLeft) / (0.0 - kChartLeft) * (w - 1),
            (kChartTop - y) / (kChartTop - kChartBottom) * (h - 1)};
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (!m_has_chart)
        return;
    const HistoryChart& c = m_chart;
    auto line = [&](double x1, double y1, double x2, double y2) {
        p.drawLine(to_widget(x1, y1), to_widget(x2, y2));
    };
    auto pen = [&](const QColor& colour, double width) {
        QPen pen(colour, width);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
    };

    pen(kGrid, 1);
    line(kChartLeft, 0, 0, 0);

    for (const MonthLine& m : c.month_lines) {
        pen(kGrid, 1);
        line(-m.days, 10, -m.days, -8.5);
    }

    pen(palette().color(QPalette::WindowText), 1);
    line(kChartLeft, 0, 0, 0);
    p.setRenderHint(QPainter::Antialiasing, true);
    // One joined polyline; it starts at the left edge, as a start at today's (0, 0) would cross the
    // whole chart whenever the year began with a non-zero total.
    QPolygonF running;
    running.reserve(kHistoryDays);
    for (int d = kHistoryDays; d >= 1; --d)
        running << to_widget(-d, double(c.running[d]) * c.factor);
    QPen white(Qt::white, 4);
    white.setJoinStyle(Qt::RoundJoin);
    white.setCapStyle(Qt::RoundCap);
    p.setPen(white);
    p.drawPolyline(running);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int d = kHistoryDays - 1; d >= 1; --d) {
        if (c.daily[d] == 0)
            continue;
        pen(c.daily[d] > 0 ? QColor(0, 255, 0) : QColor(0, 0, 0), 1);
        line(-d, 0, -d, double(c.daily[d]) * c.factor);
    }

    for (const TickSeries& s : c.ticks) {
        pen(QColor::fromRgb(s.rgb), 2);
        for (int d : s.days)
            line(-d, -7, -d, -10);
    }

    // The month numbers go on top, on the background colour, so that dense ticks never hide them.
    QFont small = font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.85));
    p.setFont(small);
    const QFontMetricsF fm(small);
    for (const MonthLine& m : c.month_lines) {
        const QString label = QString::number(m.month);
        const QPointF at = to_widget(-m.days, -8.5);
        QRectF box(at.x() + 1, at.y() + 1, fm.horizontalAdvance(label) + 2, fm.height());
        if (box.right() > width())
            box.moveRight(width());
        if (box.bottom() > height())
            box.moveBottom(height());
        p.fillRect(box, kBackground);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(box, Qt::AlignCenter, label);
    }
}
