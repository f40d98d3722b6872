#include "print/chart_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>

namespace {

const QColor kBackground(224, 224, 224);
const QColor kGrid(200, 200, 200);

}  // namespace

QColor chart_background() {
    return kBackground;
}

QPointF chart_point(const QRectF& area, double x, double y, double unit) {
    return {area.left() + (x - kChartLeft) / (0.0 - kChartLeft) * (area.width() - unit),
            area.top() + (kChartTop - y) / (kChartTop - kChartBottom) * (area.height() - unit)};
}

void paint_history_chart(QPainter& p, const QRectF& area, const HistoryChart& c, const QColor& text,
                         double unit) {
    p.save();
    p.fillRect(area, kBackground);
    auto at = [&](double x, double y) { return chart_point(area, x, y, unit); };
    auto line = [&](double x1, double y1, double x2, double y2) { p.drawLine(at(x1, y1), at(x2, y2)); };
    auto pen = [&](const QColor& colour, double width) {
        QPen pen(colour, width * unit);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
    };

    pen(kGrid, 1);
    line(kChartLeft, 0, 0, 0);
    for (const MonthLine& m : c.month_lines)
        line(-m.days, 10, -m.days, -8.5);

    pen(text, 1);
    line(kChartLeft, 0, 0, 0);
    p.setRenderHint(QPainter::Antialiasing, true);
    // One joined polyline; it starts at the left edge, as a start at today's (0, 0) would cross the
    // whole chart whenever the year began with a non-zero total.
    QPolygonF running;
    running.reserve(kHistoryDays + 1);
    for (int d = kHistoryDays; d >= 0; --d)
        running << at(-d, double(c.running[d]) * c.factor);
    QPen white(Qt::white, 4 * unit);
    white.setJoinStyle(Qt::RoundJoin);
    white.setCapStyle(Qt::RoundCap);
    p.setPen(white);
    p.drawPolyline(running);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int d = kHistoryDays - 1; d >= 0; --d) {
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
    QFont small = p.font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.85));
    p.setFont(small);
    const QFontMetricsF fm(small, p.device());
    for (const MonthLine& m : c.month_lines) {
        const QString label = QString::number(m.month);
        const QPointF point = at(-m.days, -8.5);
        QRectF box(point.x() + unit, point.y() + unit, fm.horizontalAdvance(label) + 2 * unit, fm.height());
        if (box.right() > area.right())
            box.moveRight(area.right());
        if (box.bottom() > area.bottom())
            box.moveBottom(area.bottom());
        p.fillRect(box, kBackground);
        p.setPen(text);
        p.drawText(box, Qt::AlignCenter, label);
    }
    p.restore();
}
