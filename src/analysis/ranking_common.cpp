#include "analysis/ranking_common.h"

#include <QHash>
#include <algorithm>
#include <cmath>

#include "db/database.h"

double leading_number(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

qint64 sum_value(const QString& cell) {
    const QString text = cell.trimmed();
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    // Back-ends that return a decimal type for sums ("1500.0").
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) >= 9.2e18)
        return 0;
    return qint64(std::llround(value));
}

QString number_text(double value) {
    if (!std::isfinite(value))
        return QString();
    if (value == 0.0)
        return QStringLiteral("0");
    // Rounded to 15 significant digits first; the exponent form is then written out in full.
    const QString g = QString::number(value, 'g', 15);
    const qsizetype e = g.indexOf(u'e');
    if (e < 0)
        return g;
    const int exponent = g.mid(e + 1).toInt();
    QString mantissa = g.left(e);
    const bool negative = mantissa.startsWith(u'-');
    if (negative)
        mantissa.remove(0, 1);
    // The mantissa is d or d.ddd: its digits with the point after the first.
    QString digits = mantissa;
    digits.remove(u'.');
    qsizetype point = 1 + exponent;  // digits before the point
    QString out;
    if (point <= 0) {
        out = QStringLiteral("0.") + QString(-point, u'0') + digits;
    } else if (point >= digits.size()) {
        out = digits + QString(point - digits.size(), u'0');
    } else {
        out = digits.left(point) + u'.' + digits.mid(point);
    }
    return negative ? u'-' + out : out;
}

QDate period_start(const QDate& today) {
    // QDate::addYears moves February 29 to February 28 of a common year.
    return today.addYears(-1);
}

namespace {

bool is_number_cell(const QString& cell, double* value = nullptr) {
    const QString text = cell.trimmed();
    if (text.isEmpty()) {
        if (value)
            *value = 0.0;
        return true;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (value)
        *value = ok ? v : 0.0;
    return ok;
}

}  // namespace

bool is_numeric_column(const QVector<RankedRow>& rows, int column) {
    return std::all_of(rows.begin(), rows.end(),
                       [column](const RankedRow& row) { return is_number_cell(row.cells.value(column)); });
}

namespace {

QVector<int> numeric_order(const QVector<RankedRow>& rows, int column, bool descending) {
    QVector<int> order(rows.size());
    QVector<double> keys(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        order[i] = i;
        is_number_cell(rows.at(i).cells.value(column), &keys[i]);
    }
    std::stable_sort(order.begin(), order.end(), [&keys, descending](int a, int b) {
        return descending ? keys.at(a) > keys.at(b) : keys.at(a) < keys.at(b);
    });
    return order;
}

}  // namespace

QVector<int> sorted_order(const QVector<RankedRow>& rows, int column, bool descending) {
    if (is_numeric_column(rows, column))
        return numeric_order(rows, column, descending);
    QVector<int> order(rows.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    {
        std::stable_sort(order.begin(), order.end(), [&rows, column, descending](int a, int b) {
            const int c = rows.at(a).cells.value(column).compare(rows.at(b).cells.value(column));
            return descending ? c > 0 : c < 0;
        });
    }
    return order;
}

void sort_largest_first(QVector<RankedRow>& rows, int column) {
    const QVector<int> order = numeric_order(rows, column, true);
    QVector<RankedRow> sorted;
    sorted.reserve(rows.size());
    for (int i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

QHash<QString, qint64> counts_by_key(Database& db, const QString& table, const QString& key) {
    const ResultTable t =
        db.query_rows(QStringLiteral("select %1,count(*) from %2 group by %1").arg(key, table), 2);
    QHash<QString, qint64> counts;
    counts.reserve(t.row_count());
    // Rows without a key (NULL, read as "-") belong to no customer or goods item.
    for (int r = 1; r <= t.row_count(); ++r)
        if (t(0, r) != QLatin1String("-"))
            counts.insert(t(0, r), sum_value(t(1, r)));
    return counts;
}

QHash<QString, QString> names_by_key(Database& db, const QString& table, const QString& key,
                                     const QString& name) {
    const ResultTable t = db.query_rows(QStringLiteral("select %1,%2 from %3").arg(key, name, table), 2);
    QHash<QString, QString> names;
    names.reserve(t.row_count());
    for (int r = 1; r <= t.row_count(); ++r)
        names.insert(t(0, r), t(1, r));
    return names;
}
