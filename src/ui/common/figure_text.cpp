#include "ui/common/figure_text.h"

#include <QAbstractItemView>
#include <QRegularExpression>

#include "records/number_text.h"

namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

bool is_plain_number(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    return number.match(text).hasMatch();
}

// "1234567.25" -> "1,234,567.25": the digits stay exactly as stored.
QString grouped(const QString& text) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    QString whole = text.mid(negative ? 1 : 0, point < 0 ? -1 : point - (negative ? 1 : 0));
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    return (negative ? QStringLiteral("-") : QString()) + whole + (point < 0 ? QString() : text.mid(point));
}

}  // namespace

ShownCell shown_cell(const QString& value, Figure kind) {
    const QString trimmed = value.trimmed();
    switch (kind) {
        case Figure::Text:
            return {value, kLeft};
        case Figure::Key:
            return {value, kRight};
        case Figure::Number:
        case Figure::Yen:
            break;
    }
    // A NULL arrives as "-": an empty group or count reads 0.
    if (trimmed.isEmpty() || trimmed == QLatin1String("-"))
        return {QStringLiteral("0"), kRight};
    if (!is_plain_number(trimmed))
        return {value, kRight};
    return {kind == Figure::Yen ? with_thousands(trimmed) : grouped(trimmed), kRight};
}

Figure figure_of_field(const QString& field) {
    if (field.endsWith(QStringLiteral("金額")) || field == QStringLiteral("値引き") ||
        field.endsWith(QStringLiteral("累計")))
        return Figure::Yen;
    if (field.endsWith(QLatin1String("ID")))
        return Figure::Key;
    // Prices and rates may hold a fraction, which is shown as stored.
    if (field == QStringLiteral("単価") || field.endsWith(QStringLiteral("税率")) ||
        field.endsWith(QStringLiteral("数")))
        return Figure::Number;
    return Figure::Text;
}

ShownCell FigureDelegate::shown(const QModelIndex& index) const {
    return shown_cell(index.data(Qt::DisplayRole).toString(), figure(index.column()));
}

void FigureDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const Figure kind = figure(index.column());
    if (kind == Figure::Text)
        return;
    const ShownCell cell = shown_cell(option->text, kind);
    option->text = cell.text;
    option->displayAlignment = cell.alignment;
}

FigureDelegate* show_figures(QAbstractItemView* view, QVector<Figure> figures) {
    auto* delegate = qobject_cast<FigureDelegate*>(view->itemDelegate());
    if (!delegate) {
        delegate = new FigureDelegate(view);
        view->setItemDelegate(delegate);
    }
    delegate->set_figures(std::move(figures));
    return delegate;
}
