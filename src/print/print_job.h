#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

#include "customers/history_chart.h"

class QPagedPaintDevice;

// The line above every page: company name, the window's title, the date.
struct PrintHeading {
    QString company;
    QString title;
    QDate date;
};

// A grid as shown: headings and rows of texts; right_aligned marks the number columns.
struct PrintTable {
    QStringList headings;
    QVector<QStringList> rows;
    QVector<bool> right_aligned;
};

// The one-year chart with its caption (the chart title and whose history it is).
struct PrintChart {
    QString caption;
    HistoryChart chart;
};

// One document for the printer or a PDF file: pages on A4, the heading on each page, the grid's
// heading row repeated on each page, "1 / 3" at the foot.
class PrintJob {
public:
    PrintJob(PrintHeading heading, PrintTable table);
    PrintJob(PrintHeading heading, PrintChart chart);

    const PrintHeading& heading() const { return m_heading; }
    const std::optional<PrintTable>& table() const { return m_table; }
    const std::optional<PrintChart>& chart() const { return m_chart; }

    // A4, margins, and landscape where the grid is wider than a portrait page (the chart always).
    void prepare(QPagedPaintDevice& device) const;
    bool landscape(QPagedPaintDevice& device) const;
    // Paints every page onto a prepared device; returns the number of pages.
    int paint(QPagedPaintDevice& device) const;

private:
    PrintHeading m_heading;
    std::optional<PrintTable> m_table;
    std::optional<PrintChart> m_chart;
};

// The Japanese font of printed pages at a size in points.
QFont print_font(double points, bool bold = false);

// Writes the job as a PDF file (through a temporary file). False with a Japanese message on failure.
bool write_pdf(const PrintJob& job, const QString& path, QString& message);
