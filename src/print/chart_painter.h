#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

#include "customers/history_chart.h"

class QPainter;

// Where a chart point (x -366..0, y 10..-10) lies in area; unit is the width of one line of the
// screen chart in the painter's pixels (1 on the screen, more on a printer).
QPointF chart_point(const QRectF& area, double x, double y, double unit = 1.0);

// Paints the one-year chart into area with the painter's font for the month numbers. The same code
// paints the screen and the printed page, so the page holds lines, not a picture of the screen.
void paint_history_chart(QPainter& painter, const QRectF& area, const HistoryChart& chart, const QColor& text,
                         double unit = 1.0);

// The chart's background, RGB(224, 224, 224).
QColor chart_background();
