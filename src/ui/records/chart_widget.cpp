#include "ui/records/chart_widget.h"

#include <QPainter>

#include "print/chart_painter.h"

namespace {

const QColor kBackground = chart_background();

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
    return chart_point(QRectF(rect()), x, y);
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (!m_has_chart)
        return;
    p.setFont(font());
    paint_history_chart(p, QRectF(rect()), m_chart, palette().color(QPalette::WindowText));
}
