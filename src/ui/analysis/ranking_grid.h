#pragma once

#include <QTableWidget>
#include <QVector>
#include <QWidget>

#include "analysis/ranking_common.h"

class FigureDelegate;

// Base of the analysis screens: their own buttons hide them, so reopening shows the same result;
// the window's close control discards them, so the next opening computes afresh.
class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The result grid `MSFlexGrid1` of an analysis: a heading row and one row per result. A click on a
// heading sorts by that column (numbers as numbers, largest first; text in ascending order), a
// second click on it reverses; rows with equal values keep the order in which they were computed.
class RankingGrid : public QTableWidget {
    Q_OBJECT
public:
    // Column widths in twips (1/1440 inch), as the screens are laid out.
    explicit RankingGrid(const QVector<int>& widths_twips, QWidget* parent = nullptr);

    void set_ranking(const Ranking& ranking);
    const Ranking& ranking() const { return m_ranking; }
    // The keys of the rows in their shown order.
    QStringList shown_ids() const;
    QStringList column_texts(int column) const;
    // The cells of a column as the grid shows them (separators, alignment).
    QStringList shown_texts(int column) const;
    void sort_by(int column);

private:
    void fill(const QVector<int>& order);
    void fit_columns();

    QVector<int> m_laid_out_widths;  // pixels
    FigureDelegate* m_figures = nullptr;
    Ranking m_ranking;
    int m_sorted_column = -1;
    bool m_descending = true;
};

// Twips to pixels on a 96-dpi display.
inline int twips(int value) {
    return value / 15;
}
