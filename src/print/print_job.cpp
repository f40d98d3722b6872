#include "print/print_job.h"

#include <QBuffer>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

#include "app/user_folder.h"
#include "print/chart_painter.h"

namespace {

constexpr double kBodyPoints = 9.0;
constexpr double kMarginMm = 12.0;

const QString kLegend[6] = {QStringLiteral("受注"),       QStringLiteral("案件見積"), QStringLiteral("訪問"),
                            QStringLiteral("問い合わせ"), QStringLiteral("クレーム"), QStringLiteral("原価")};
const QColor kLegendColours[6] = {QColor(0, 170, 0),   QColor(0, 0, 255), QColor(0, 190, 190),
                                  QColor(190, 190, 0), QColor(255, 0, 0), QColor(0, 0, 0)};

// A value with line breaks or tabs takes one line of the printed grid.
QString one_line(QString text) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n\\x{2028}\\x{2029}]+"));
    return text.replace(breaks, QStringLiteral(" "));
}

// Natural column widths in device pixels: the widest text plus padding, none above 45 % of the page.
QVector<double> natural_widths(const PrintTable& t, const QFontMetricsF& body, const QFontMetricsF& bold,
                               double pad, double page_width) {
    QVector<double> widths(t.headings.size(), 0.0);
    for (int c = 0; c < widths.size(); ++c) {
        double w = bold.horizontalAdvance(one_line(t.headings.at(c)));
        for (const QStringList& row : t.rows)
            w = std::max(w, body.horizontalAdvance(one_line(row.value(c))));
        // A little more than the measured text, so rounding in the painter never elides a fitting text.
        widths[c] = std::min(w + 2 * pad + body.averageCharWidth() * 0.5, page_width * 0.45);
    }
    return widths;
}

// The printable area of A4 with the margins, in device pixels, for an orientation.
QSizeF paint_size(const QPagedPaintDevice& device, QPageLayout::Orientation orientation) {
    QPageLayout layout(QPageSize(QPageSize::A4), orientation,
                       QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
    return layout.paintRectPixels(device.logicalDpiX()).size();
}

class PagePainter {
public:
    PagePainter(QPainter& painter, const PrintHeading& heading, QSizeF size, double unit)
        : p(painter), m_heading(heading), m_size(size), m_unit(unit) {}

    // Heading line and rule; returns the y where the page's content starts.
    double head() {
        const QFont small = print_font(kBodyPoints);
        const QFont title = print_font(13, true);
        const QFontMetricsF fm_title(title, p.device());
        const double h = fm_title.height();
        p.setPen(Qt::black);
        p.setFont(small);
        p.drawText(QRectF(0, 0, m_size.width(), h), Qt::AlignLeft | Qt::AlignVCenter, m_heading.company);
        p.drawText(QRectF(0, 0, m_size.width(), h), Qt::AlignRight | Qt::AlignVCenter,
                   m_heading.date.toString(QStringLiteral("yyyy/MM/dd")));
        p.setFont(title);
        p.drawText(QRectF(0, 0, m_size.width(), h), Qt::AlignHCenter | Qt::AlignVCenter, m_heading.title);
        p.setPen(QPen(Qt::black, m_unit));
        p.drawLine(QPointF(0, h + m_unit * 3), QPointF(m_size.width(), h + m_unit * 3));
        return h + m_unit * 10;
    }

    double foot_height() const { return QFontMetricsF(print_font(kBodyPoints), p.device()).height() * 1.5; }

    void foot(int page, int pages) {
        p.setFont(print_font(kBodyPoints));
        p.setPen(Qt::black);
        const double h = foot_height();
        p.drawText(QRectF(0, m_size.height() - h, m_size.width(), h), Qt::AlignHCenter | Qt::AlignBottom,
                   QStringLiteral("%1 / %2").arg(page).arg(pages));
    }

private:
    QPainter& p;
    const PrintHeading& m_heading;
    QSizeF m_size;
    double m_unit;
};

}  // namespace

// The printing font (scripts/make_print_font.py), registered once: the stock font names a Kangxi
// radical for 木 or 山 in a PDF's text. The stock font stands behind it, should the copy be missing.
QStringList print_families() {
    static const QStringList families = [] {
        QStringList out;
        for (const QString& file : installed_print_fonts())
            for (const QString& family :
                 QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(file)))
                if (!out.contains(family))
                    out << family;
        out << QStringLiteral("Noto Sans CJK JP");
        return out;
    }();
    return families;
}

QFont print_font(double points, bool bold) {
    QFont font;
    font.setFamilies(print_families());
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

PrintJob::PrintJob(PrintHeading heading, PrintTable table)
    : m_heading(std::move(heading)), m_table(std::move(table)) {
    m_table->right_aligned.resize(m_table->headings.size());
}

PrintJob::PrintJob(PrintHeading heading, PrintChart chart)
    : m_heading(std::move(heading)), m_chart(std::move(chart)) {}

bool PrintJob::landscape(QPagedPaintDevice& device) const {
    if (m_chart)
        return true;
    const QFontMetricsF body(print_font(kBodyPoints), &device);
    const QFontMetricsF bold(print_font(kBodyPoints, true), &device);
    const double portrait = paint_size(device, QPageLayout::Portrait).width();
    const QVector<double> widths =
        natural_widths(*m_table, body, bold, body.averageCharWidth(), portrait * 2);
    double total = 0;
    for (double w : widths)
        total += w;
    return total > portrait;
}

void PrintJob::prepare(QPagedPaintDevice& device) const {
    device.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), landscape(device) ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
}

int PrintJob::paint(QPagedPaintDevice& device) const {
    QPainter p;
    if (!p.begin(&device))
        return 0;
    const QSizeF size = device.pageLayout().paintRectPixels(device.logicalDpiX()).size();
    // One line of the screen (1/96 inch) in device pixels.
    const double unit = device.logicalDpiX() / 96.0;
    PagePainter page(p, m_heading, size, unit);

    if (m_chart) {
        const double top = page.head();
        const QFont body = print_font(kBodyPoints + 1);
        const QFontMetricsF fm(body, &device);
        p.setFont(body);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, top, size.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   m_chart->caption);
        const double chart_top = top + fm.height() * 1.5;
        const double legend_h = fm.height() * 2;
        const QRectF area(
            0, chart_top, size.width(),
            std::min(size.width() * 0.45, size.height() - chart_top - legend_h - page.foot_height()));
        p.setFont(print_font(kBodyPoints));
        paint_history_chart(p, area, m_chart->chart, Qt::black, unit);
        // The legend under the chart; amounts only where the chart has them.
        double x = 0;
        const double y = area.bottom() + fm.height() * 0.6;
        p.setFont(body);
        for (int k = 0; k < 6; ++k) {
            if ((k == 0 || k == 5) && !m_chart->chart.has_amounts)
                continue;
            p.fillRect(QRectF(x, y + fm.height() * 0.25, fm.height() * 0.5, fm.height() * 0.5),
                       kLegendColours[k]);
            x += fm.height() * 0.8;
            p.setPen(kLegendColours[k]);
            p.drawText(QPointF(x, y + fm.ascent()), kLegend[k]);
            x += fm.horizontalAdvance(kLegend[k]) + fm.height();
        }
        page.foot(1, 1);
        p.end();
        return 1;
    }

    const PrintTable& t = *m_table;
    const QFont body = print_font(kBodyPoints);
    const QFont bold = print_font(kBodyPoints, true);
    const QFontMetricsF fm(body, &device);
    const QFontMetricsF fm_bold(bold, &device);
    const double pad = fm.averageCharWidth() * 0.6;
    QVector<double> widths = natural_widths(t, fm, fm_bold, pad, size.width());
    double total = 0;
    for (double w : widths)
        total += w;
    if (total > size.width())
        for (double& w : widths)
            w *= size.width() / total;  // narrower columns; texts that no longer fit end in "…"
    const double row_h = fm.height() * 1.45;

    // Pages needed: the same heading and foot on every page, the heading row repeated.
    const double first_row = QFontMetricsF(print_font(13, true), &device).height() + unit * 10 + row_h;
    const int per_page = std::max(1, int((size.height() - first_row - page.foot_height()) / row_h));
    const int pages = std::max(1, int((t.rows.size() + per_page - 1) / per_page));

    auto cell = [&](double x, double y, double w, const QString& text, bool right) {
        const QRectF box(x + pad, y, w - 2 * pad, row_h);
        const QString shown = p.fontMetrics().elidedText(one_line(text), Qt::ElideRight, int(box.width()));
        p.drawText(box, (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, shown);
    };
    const QPen rule(QColor(160, 160, 160), unit * 0.5);
    for (int pg = 0; pg < pages; ++pg) {
        if (pg > 0)
            device.newPage();
        double y = page.head();
        const double table_w = std::min(total, size.width());
        p.fillRect(QRectF(0, y, table_w, row_h), QColor(225, 225, 225));
        p.setFont(bold);
        p.setPen(Qt::black);
        double x = 0;
        for (int c = 0; c < widths.size(); ++c) {
            cell(x, y, widths.at(c), t.headings.at(c), t.right_aligned.value(c));
            x += widths.at(c);
        }
        y += row_h;
        p.setFont(body);
        const int first = pg * per_page;
        const int last = std::min(int(t.rows.size()), first + per_page);
        for (int r = first; r < last; ++r) {
            if ((r - first) % 2 == 1)
                p.fillRect(QRectF(0, y, table_w, row_h), QColor(245, 245, 245));
            p.setPen(Qt::black);
            x = 0;
            for (int c = 0; c < widths.size(); ++c) {
                cell(x, y, widths.at(c), t.rows.at(r).value(c), t.right_aligned.value(c));
                x += widths.at(c);
            }
            p.setPen(rule);
            p.drawLine(QPointF(0, y + row_h), QPointF(table_w, y + row_h));
            y += row_h;
        }
        page.foot(pg + 1, pages);
    }
    p.end();
    return pages;
}

bool write_pdf(const PrintJob& job, const QString& path, QString& message) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(600);
        writer.setTitle(job.heading().title);
        writer.setCreator(QStringLiteral("営業手帳"));
        job.prepare(writer);
        if (job.paint(writer) == 0) {
            message = QStringLiteral("PDF を作成できませんでした: %1").arg(QDir::toNativeSeparators(path));
            return false;
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.data().size() ||
        !file.commit()) {
        message = QStringLiteral("ファイルに書き出せませんでした: %1\n%2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    message.clear();
    return true;
}
