#pragma once

#include <QDate>
#include <QString>
#include <QVector>

#include "db/database.h"

// The one-year activity chart of a customer or of the working employee, computed for a given today.
// Day d means d days before today; the chart spans days 366 (left edge) to 0 (right edge).
constexpr int kHistoryDays = 366;

// Chart coordinates: x = -days before today, from kChartLeft to 0; y from kChartTop down to kChartBottom.
constexpr double kChartLeft = -366.0;
constexpr double kChartTop = 10.0;
constexpr double kChartBottom = -10.0;

// Whose history the chart shows: a customer by key, or an employee by name.
struct HistoryFilter {
    enum class Kind { Customer, Employee };
    Kind kind = Kind::Customer;
    QString value;

    static HistoryFilter customer(const QString& id) { return {Kind::Customer, id}; }
    static HistoryFilter employee(const QString& name) { return {Kind::Employee, name}; }
    // The text appended to each statement: " where 顧客ID=<key>" or " where 社員='<name>'".
    // Throws DatabaseError when a customer key is not a number, as it is spliced bare.
    QString where_clause() const;
};

struct MonthLine {
    int days = 0;   // from the first of the month to today
    int month = 0;  // 1 to 12, the label
};

struct TickSeries {
    QString table;
    QString date_column;
    unsigned rgb = 0;   // 0xRRGGBB
    QVector<int> days;  // one entry per record inside the chart, in the order read
};

struct HistoryChart {
    QVector<MonthLine> month_lines;  // the current month first, then the eleven before it
    QVector<qint64> daily;           // positions 0 to 366: orders added, costs subtracted
    QVector<qint64> running;         // positions 0 to 366: sum of daily from day 366 down to day d
    qint64 max = 0;                  // the largest running total of days 365 to 0 (-9000 when none is larger)
    double factor = 0.0;             // amount -> chart units
    QVector<TickSeries> ticks;       // estimates, visits, claims, inquiries
    bool has_amounts = false;        // false in the employee view: no amounts are read

    HistoryChart();
};

// The month lines for today: twelve first-of-month days, with their month numbers.
QVector<MonthLine> month_lines(const QDate& today);

// Days from a "yyyy/mm/dd" text to today, or -1 when the text is no date or lies outside the chart
// (more than 366 days ago, or after today).
int days_before(const QString& date_text, const QDate& today);

// Adds (sign 1) or subtracts (sign -1) the amounts of rows (column 0 date, column 1 amount) into daily.
void add_amounts(HistoryChart& chart, const ResultTable& rows, int sign, const QDate& today);
// Running totals, max and factor from daily.
void finish_amounts(HistoryChart& chart);

// Reads every series of the filter and computes the chart.
HistoryChart load_history(Database& db, const HistoryFilter& filter, const QDate& today);
