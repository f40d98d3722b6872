#pragma once

#include <QStyledItemDelegate>
#include <QVector>

// How a grid column shows its values. The model keeps the stored values (exports and copies take
// those); only what is painted changes.
enum class Figure {
    Text,    // as stored, left-aligned
    Number,  // thousands separators, fraction kept, right-aligned; empty shows 0
    Yen,     // whole yen with thousands separators (rounded), right-aligned; empty shows 0
    Key,     // a record number: as stored, right-aligned
};

struct ShownCell {
    QString text;
    Qt::Alignment alignment;
};

// The text and alignment a value of this kind is shown with. Text that is not a number stays as it
// is ("-", "5点"), right-aligned in a figure column.
ShownCell shown_cell(const QString& value, Figure kind);

// The kind of a column of a database table by its field name: amounts (…金額, 値引き, …累計) in
// whole yen, keys (…ID) as they are, prices, quantities and rates as numbers, the rest as text.
Figure figure_of_field(const QString& field);

// Paints each column of a view by its kind; columns without a kind show text.
class FigureDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void set_figures(QVector<Figure> figures) { m_figures = std::move(figures); }
    Figure figure(int column) const { return m_figures.value(column, Figure::Text); }
    // What the cell shows.
    ShownCell shown(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QVector<Figure> m_figures;
};

class QAbstractItemView;
// Gives the view a FigureDelegate with these column kinds and returns it.
FigureDelegate* show_figures(QAbstractItemView* view, QVector<Figure> figures);
