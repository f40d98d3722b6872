#include "customers/history_chart.h"

#include <cmath>

#include "records/number_text.h"

QString HistoryFilter::where_clause() const {
    if (kind == Kind::Employee)
        return QStringLiteral(" where 社員=") + sql_text(value);
    if (!is_key(value))
        throw DatabaseError(QStringLiteral("顧客が選択されていません"));
    return QStringLiteral(" where 顧客ID=") + value.trimmed();
}

HistoryChart::HistoryChart() : daily(kHistoryDays + 1, 0), running(kHistoryDays + 1, 0) {}

QVector<MonthLine> month_lines(const QDate& today) {
    QVector<MonthLine> lines;
    int year = today.year();
    int month = today.month();
    for (int i = 0; i < 12; ++i) {
        if (month == 0) {
            month = 12;
            --year;
        }
        lines.push_back({int(QDate(year, month, 1).daysTo(today)), month});
        --month;
    }
    return lines;
}

int days_before(const QString& date_text, const QDate& today) {
    const QDate date = QDate::fromString(date_text.trimmed(), QStringLiteral("yyyy/MM/dd"));
    if (!date.isValid())
        return -1;
    const qint64 days = date.daysTo(today);
    // Records outside the year shown are skipped rather than written beyond the day tables.
    return days >= 0 && days <= kHistoryDays ? int(days) : -1;
}

namespace {

// An amount as the query layer gives it; NULL ("-") and other non-numbers count as nothing.
qint64 amount_value(const QString& text) {
    bool ok = false;
    const qint64 whole = text.trimmed().toLongLong(&ok);
    if (ok)
        return whole;
    const double real = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(real) ? qint64(std::llround(real)) : 0;
}

}  // namespace

void add_amounts(HistoryChart& chart, const ResultTable& rows, int sign, const QDate& today) {
    for (int row = 1; row <= rows.row_count(); ++row) {
        const int d = days_before(rows(0, row), today);
        if (d >= 0)
            chart.daily[d] += amount_value(rows(1, row)) * sign;
    }
}

void finish_amounts(HistoryChart& chart) {
    qint64 max = -9000;
    qint64 lowest = 0;
    // The chart ends today: today's orders and costs count (and are drawn) like any other day's.
    for (int d = 0; d <= kHistoryDays; ++d)
        chart.running[d] = chart.daily[d];
    for (int d = kHistoryDays - 1; d >= 0; --d) {
        chart.running[d] += chart.running[d + 1];
        max = std::max(max, chart.running[d]);
        lowest = std::min(lowest, chart.running[d]);
    }
    chart.max = max;
    if (max > 0) {
        chart.factor = 0.8 * 10.0 / double(max);  // the highest running total reaches 8
    } else if (max < 0) {
        // Only losses: scaling by the (negative) largest total would turn the chart upside down,
        // so the deepest total reaches -8 instead.
        chart.factor = 0.8 * 10.0 / double(-lowest);
    } else {
        chart.factor = 0.0;
    }
}

HistoryChart load_history(Database& db, const HistoryFilter& filter, const QDate& today) {
    const QString where = filter.where_clause();
    HistoryChart chart;
    chart.month_lines = month_lines(today);
    // The employee view reads no amounts: its white line lies on the axis.
    chart.has_amounts = filter.kind == HistoryFilter::Kind::Customer;
    if (chart.has_amounts) {
        add_amounts(chart, db.query_rows(QStringLiteral("select 受注日,受注金額 from 受注  ") + where, 2), 1,
                    today);
        add_amounts(chart, db.query_rows(QStringLiteral("select 登録日,金額 from 原価 ") + where, 2), -1,
                    today);
    }
    finish_amounts(chart);

    const TickSeries series[] = {
        {QStringLiteral("見積もり"), QStringLiteral("提出日"), 0x0000FF, {}},
        {QStringLiteral("訪問"), QStringLiteral("訪問日"), 0x00BEBE, {}},
        {QStringLiteral("クレーム"), QStringLiteral("受付日"), 0xFF0000, {}},
        {QStringLiteral("問い合わせ"), QStringLiteral("受付日"), 0xBEBE00, {}},
    };
    for (TickSeries s : series) {
        const ResultTable rows =
            db.query_rows(QStringLiteral("select %1 from %2 ").arg(s.date_column, s.table) + where, 1);
        for (int row = 1; row <= rows.row_count(); ++row) {
            const int d = days_before(rows(0, row), today);
            if (d >= 0)
                s.days.push_back(d);
        }
        chart.ticks.push_back(std::move(s));
    }
    return chart;
}
