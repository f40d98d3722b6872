#include "ui/analysis/ranking_grid.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "ui/common/figure_text.h"
#include "ui/common/list_tools.h"

void AnalysisWindow::closeEvent(QCloseEvent* event) {
    // Only the window's own close control lands here; the buttons hide.
    setAttribute(Qt::WA_DeleteOnClose);
    QWidget::closeEvent(event);
}

RankingGrid::RankingGrid(const QVector<int>& widths_twips, QWidget* parent)
    : QTableWidget(0, int(widths_twips.size()), parent) {
    setObjectName(QStringLiteral("MSFlexGrid1"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    for (int w : widths_twips)
        m_laid_out_widths << twips(w);
    fit_columns();
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &RankingGrid::sort_by);
}

void RankingGrid::set_ranking(const Ranking& ranking) {
    m_ranking = ranking;
    m_sorted_column = -1;
    m_descending = true;
    horizontalHeader()->setSortIndicatorShown(false);
    setHorizontalHeaderLabels(m_ranking.headings);
    // Figures read in whole yen with separators (the yen per visit too); the items keep the exact
    // values, so sorting, copies and exports use those. An unlabelled column stays as it is.
    QVector<Figure> figures(columnCount(), Figure::Text);
    for (int c = 1; c < columnCount(); ++c)
        if (!m_ranking.headings.value(c).isEmpty() && is_numeric_column(m_ranking.rows, c))
            figures[c] = Figure::Yen;
    m_figures = show_figures(this, figures);
    QVector<int> order(m_ranking.rows.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    fill(order);
    fit_columns();
}

void RankingGrid::fit_columns() {
    // The laid-out widths, widened where a heading or a value would otherwise be cut off.
    const QFontMetrics metrics(font());
    const QFontMetrics heading_metrics(horizontalHeader()->font());
    int total = 0;
    for (int c = 0; c < columnCount(); ++c) {
        int width = m_laid_out_widths.value(c);
        width = std::max(width, heading_metrics.horizontalAdvance(m_ranking.headings.value(c)) + 20);
        const Figure kind = m_figures ? m_figures->figure(c) : Figure::Text;
        for (const RankedRow& row : m_ranking.rows)
            width =
                std::max(width, metrics.horizontalAdvance(shown_cell(row.cells.value(c), kind).text) + 12);
        setColumnWidth(c, width);
        total += width;
    }
    setMinimumWidth(total + verticalScrollBar()->sizeHint().width() + 2 * frameWidth() + 2);
    setMaximumWidth(minimumWidth());
}

void RankingGrid::sort_by(int column) {
    if (column < 0 || column >= columnCount())
        return;
    const bool numeric = is_numeric_column(m_ranking.rows, column);
    m_descending = column == m_sorted_column ? !m_descending : numeric;
    m_sorted_column = column;
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    fill(sorted_order(m_ranking.rows, column, m_descending));
}

void RankingGrid::fill(const QVector<int>& order) {
    setUpdatesEnabled(false);
    clearContents();
    setRowCount(int(order.size()));
    for (int r = 0; r < order.size(); ++r) {
        const RankedRow& row = m_ranking.rows.at(order.at(r));
        for (int c = 0; c < columnCount(); ++c) {
            auto* item = new QTableWidgetItem(row.cells.value(c));
            item->setData(Qt::UserRole, order.at(r));
            item->setData(kExactTextRole, row.cells.value(c));  // exports keep the computed value
            setItem(r, c, item);
        }
    }
    setUpdatesEnabled(true);
}

QStringList RankingGrid::shown_ids() const {
    QStringList ids;
    for (int r = 0; r < rowCount(); ++r)
        ids << m_ranking.rows.at(item(r, 0)->data(Qt::UserRole).toInt()).id;
    return ids;
}

QStringList RankingGrid::column_texts(int column) const {
    QStringList texts;
    for (int r = 0; r < rowCount(); ++r)
        texts << (item(r, column) ? item(r, column)->text() : QString());
    return texts;
}

QStringList RankingGrid::shown_texts(int column) const {
    QStringList texts;
    for (int r = 0; r < rowCount(); ++r)
        texts << (m_figures ? m_figures->shown(model()->index(r, column)).text
                            : column_texts(column).value(r));
    return texts;
}
