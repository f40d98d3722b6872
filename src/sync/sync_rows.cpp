#include "sync/sync_rows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

#include "db/database.h"

namespace {

constexpr int kMaskWidth = 30;

QString ident(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// A number as the program's texts show it: whole numbers without a fraction, others to 15 digits.
QString number_text(double v) {
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 9.0e15)
        return QString::number(static_cast<qlonglong>(v));
    return QString::number(v, 'g', 15);
}

}  // namespace

bool parse_number(const QString& text, double* value) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
        ++i;
    qsizetype digits = 0;
    while (i < n && t.at(i).isDigit() && t.at(i).unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && t.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && t.at(i).isDigit() && t.at(i).unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
            ++i;
        qsizetype exponent = 0;
        while (i < n && t.at(i).isDigit() && t.at(i).unicode() < 128) {
            ++i;
            ++exponent;
        }
        if (exponent == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    *value = t.toDouble(&ok);
    return ok;
}

namespace {

// A whole number of up to 15 digits, written as it stands.
bool plain_integer(const QString& text) {
    const qsizetype n = text.size();
    if (n == 0 || n > 15)
        return false;
    for (qsizetype i = text.at(0) == QLatin1Char('-') ? 1 : 0; i < n; ++i)
        if (text.at(i).unicode() < '0' || text.at(i).unicode() > '9')
            return false;
    return n > (text.at(0) == QLatin1Char('-') ? 1 : 0) && (n == 1 || text.at(0) != QLatin1Char('0'));
}

}  // namespace

qint64 SyncRow::number(int c, bool* ok) const {
    bool good = false;
    const qint64 n = is_null(c) ? 0 : values.at(c).trimmed().toLongLong(&good);
    if (ok)
        *ok = good;
    return good ? n : 0;
}

void SyncRow::set(int c, const QString& value) {
    while (values.size() <= c) {
        values << QString();
        nulls << true;
    }
    values[c] = value;
    nulls[c] = false;
}

QString row_select_list(const TableShape& shape) {
    QStringList parts;
    for (const QString& c : shape.columns)
        parts << ident(c);
    for (int first = 0; first < shape.columns.size(); first += kMaskWidth) {
        QStringList bits;
        for (int c = first; c < std::min<int>(first + kMaskWidth, shape.columns.size()); ++c)
            bits << QStringLiteral("(case when %1 is null then %2 else 0 end)")
                        .arg(ident(shape.columns.at(c)))
                        .arg(1 << (c - first));
        parts << QLatin1Char('(') + bits.join(QLatin1Char('+')) + QLatin1Char(')');
    }
    return parts.join(QLatin1Char(','));
}

int row_select_width(const TableShape& shape) {
    const int n = int(shape.columns.size());
    return n + (n + kMaskWidth - 1) / kMaskWidth;
}

SyncRow result_row(const ResultTable& result, int row, int first, const TableShape& shape) {
    const int n = int(shape.columns.size());
    SyncRow out;
    out.values.reserve(n);
    out.nulls.reserve(n);
    for (int c = 0; c < n; ++c) {
        const int mask = result(first + n + c / kMaskWidth, row).toInt();
        const bool null = (mask >> (c % kMaskWidth)) & 1;
        out.nulls << null;
        out.values << (null ? QString() : result(first + c, row));
    }
    return out;
}

SyncRow json_row(const QString& json) {
    SyncRow out;
    const QJsonArray values = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue& v : values) {
        out.nulls << v.isNull();
        if (v.isDouble())
            out.values << number_text(v.toDouble());
        else
            out.values << v.toString();
    }
    return out;
}

QString row_literal(const TableShape& shape, const SyncRow& row, int c) {
    if (row.is_null(c))
        return QStringLiteral("NULL");
    const QString& v = row.values.at(c);
    if (shape.numeric.value(c) && plain_integer(v))
        return v;
    double number = 0;
    if (shape.numeric.value(c) && parse_number(v, &number))
        return number_text(number) == v.trimmed() ? v.trimmed() : number_text(number);
    return sql_text(v);
}

bool same_value(const TableShape& shape, const SyncRow& a, const SyncRow& b, int c) {
    if (c >= a.values.size() || c >= b.values.size())
        return true;  // unknown: a row kept before the column existed
    if (a.nulls.at(c) || b.nulls.at(c))
        return a.nulls.at(c) == b.nulls.at(c);
    if (shape.numeric.value(c)) {
        double x = 0, y = 0;
        if (parse_number(a.values.at(c), &x) && parse_number(b.values.at(c), &y))
            return number_text(x) == number_text(y);
    }
    return a.values.at(c) == b.values.at(c);
}

bool same_row(const TableShape& shape, const SyncRow& a, const SyncRow& b, bool skip_key) {
    for (int c = 0; c < shape.columns.size(); ++c) {
        if (shape.derived.at(c) || (skip_key && c == shape.key))
            continue;
        if (!same_value(shape, a, b, c))
            return false;
    }
    return true;
}

QString row_caption(const TableShape& shape, const SyncRow& row, const QString& key) {
    QString name;
    for (const char* column :
         {"顧客名", "名称", "社員", "商品名", "原価名", "状況", "会社名", "テーブル名", "a1"}) {
        const int c = shape.column(QString::fromUtf8(column));
        if (c >= 0 && !row.value(c).isEmpty()) {
            name = row.value(c);
            break;
        }
    }
    QString text = shape.name;
    if (!name.isEmpty())
        text += QStringLiteral("「%1」").arg(name);
    if (!key.isEmpty() && shape.key >= 0)
        text += QStringLiteral("（%1 %2）").arg(shape.columns.at(shape.key), key);
    return text;
}

QString first_rows(Database& db, const QString& select_list, const QString& rest, int n) {
    if (db.dialect() == Dialect::SqlServer)
        return QStringLiteral("select top %1 %2 %3").arg(n).arg(select_list, rest);
    return QStringLiteral("select %1 %2 limit %3").arg(select_list, rest).arg(n);
}
