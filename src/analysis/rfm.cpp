#include "analysis/rfm.h"

#include <QHash>
#include <cmath>
#include <limits>

#include "db/database.h"
#include "records/number_text.h"

namespace {

constexpr int kRecency = 0;
constexpr int kFrequency = 4;
constexpr int kMonetary = 8;
constexpr int kRecencyClasses = 4;

// An order's recency class is the first class whose threshold exceeds the order's age in days, so
// the classes cover disjoint, successive spans of age: class i takes the ages from the largest
// earlier threshold up to its own. As dates: after today minus the threshold, on or before today
// minus the earlier ones. Orders without a date fall in no span.
struct RecencyRange {
    bool reachable = false;
    QString after;  // yyyy/mm/dd
    QString until;  // yyyy/mm/dd; empty: no upper end (orders after today belong to the first class)

    // 1 for a customer with an order in the span, else 0.
    QString column() const {
        if (!reachable)
            return QStringLiteral("0");
        const QString test = until.isEmpty()
                                 ? QStringLiteral("受注日 > #%1#").arg(after)
                                 : QStringLiteral("受注日 > #%1# and 受注日 <= #%2#").arg(after, until);
        return QStringLiteral("max(case when %1 then 1 else 0 end)").arg(test);
    }
};

// today minus days, kept within the four-digit years that date texts hold.
QString days_before(const QDate& today, double days) {
    const QDate first(1, 1, 1), last(9999, 12, 31);
    if (days >= double(first.daysTo(today)))
        return QStringLiteral("0001/01/01");
    if (-days >= double(today.daysTo(last)))
        return QStringLiteral("9999/12/31");
    return today.addDays(-qint64(days)).toString(QStringLiteral("yyyy/MM/dd"));
}

QVector<RecencyRange> recency_ranges(const QVector<double>& thresholds, const QDate& today) {
    QVector<RecencyRange> ranges(kRecencyClasses);
    // Ages are whole days: an age below 30.5 is an age below 31.
    double lower = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < kRecencyClasses; ++i) {
        const double upper = std::ceil(thresholds.at(kRecency + i));
        if (upper > lower) {
            ranges[i].reachable = true;
            ranges[i].after = days_before(today, upper);
            if (i > 0 && std::isfinite(lower))
                ranges[i].until = days_before(today, lower);
            lower = upper;
        }
    }
    return ranges;
}

// A recency cell that is empty or holds the points 0 counts as not yet classified, so an older
// order of the customer is tried.
bool unclassified(const QString& cell) {
    const QString text = cell.trimmed();
    if (text.isEmpty())
        return true;
    const std::optional<QString> number = plain_number(text);
    return number && number->toDouble() == 0.0;
}

// The class of a frequency or monetary value: the first place of the group whose threshold the
// value exceeds; empty when it exceeds none.
QString class_above(const QVector<double>& thresholds, const QVector<RfmClass>& classes, int first,
                    double value) {
    for (int i = first; i < first + 4; ++i)
        if (value > thresholds.at(i))
            return classes.at(i).points;
    return QString();
}

}  // namespace

QVector<RfmClass> load_rfm_classes(Database& db) {
    const ResultTable t = db.query_rows(QStringLiteral("select * from RFM"), 5);
    QVector<RfmClass> classes(kRfmClassCount);
    for (int r = 1; r <= t.row_count() && r <= kRfmClassCount; ++r)
        classes[r - 1] = RfmClass{t(0, r), t(2, r), t(3, r), t(4, r)};
    return classes;
}

int first_bad_threshold(const QVector<RfmClass>& classes) {
    for (int i = 0; i < classes.size(); ++i)
        if (classes.at(i).exists() && !whole_number(classes.at(i).threshold))
            return i;
    return -1;
}

void save_rfm_classes(Database& db, const QVector<RfmClass>& classes) {
    Transaction transaction(db);
    for (const RfmClass& c : classes) {
        if (!c.exists())
            continue;
        // The key is spliced as a number only when it is one; otherwise as a text, which the
        // back-ends compare with the column's value converted.
        const QString key = is_key(c.id) ? c.id.trimmed() : sql_text(c.id);
        db.execute_sql(QStringLiteral("update RFM set a1=%1,a2=%2 where ID=%3")
                           .arg(sql_text(c.description.trimmed()), sql_text(c.threshold.trimmed()), key));
    }
    transaction.commit();
}

Ranking compute_rfm(Database& db, const QVector<RfmClass>& classes, const QDate& today) {
    QVector<double> thresholds(kRfmClassCount, 0.0);
    for (int i = 0; i < kRfmClassCount && i < classes.size(); ++i) {
        // Thresholds saved by this program are whole numbers, possibly with separators; older
        // texts count by their leading number.
        const std::optional<QString> number = plain_number(classes.at(i).threshold);
        thresholds[i] = number ? number->toDouble() : leading_number(classes.at(i).threshold);
    }

    const ResultTable customers =
        db.query_rows(QStringLiteral("select 顧客ID,顧客名 from 顧客 order by 顧客ID"), 2);
    const int c = customers.row_count();
    QHash<QString, int> position;
    position.reserve(c);
    for (int r = 1; r <= c; ++r)
        position.insert(customers(0, r), r - 1);
    QVector<QString> recency(c), frequency(c), monetary(c);

    // One pass over the orders gives, per customer, the count, the sum (NULL counts as 0) and in
    // which recency classes the customer has orders.
    const QVector<RecencyRange> ranges = recency_ranges(thresholds, today);
    QStringList columns{QStringLiteral("顧客ID"), QStringLiteral("count(*)"),
                        QStringLiteral("sum(受注金額)")};
    for (const RecencyRange& range : ranges)
        columns << range.column();
    const ResultTable orders = db.query_rows(
        QStringLiteral("select %1 from 受注 group by 顧客ID").arg(columns.join(u',')), int(columns.size()));
    for (int r = 1; r <= orders.row_count(); ++r) {
        const auto it = position.constFind(orders(0, r));
        if (it == position.constEnd())
            continue;
        frequency[*it] = class_above(thresholds, classes, kFrequency, double(sum_value(orders(1, r))));
        monetary[*it] = class_above(thresholds, classes, kMonetary, double(sum_value(orders(2, r))));
        // Taken newest order first, the first class with points other than 0 decides; a class with
        // points 0 leaves the customer to be classified by an older order, and when none does, the
        // oldest such order's class stays.
        QString cell;
        for (int i = 0; i < kRecencyClasses; ++i) {
            if (orders(3 + i, r).trimmed() != QLatin1String("1"))
                continue;
            cell = classes.at(kRecency + i).points;
            if (!unclassified(cell))
                break;
        }
        recency[*it] = cell;
    }

    Ranking ranking;
    ranking.headings = {QStringLiteral("顧客名"), QStringLiteral("総合"), QStringLiteral("R"),
                        QStringLiteral("F"), QStringLiteral("M")};
    ranking.rows.reserve(c);
    for (int p = 0; p < c; ++p) {
        const double total =
            leading_number(recency.at(p)) + leading_number(frequency.at(p)) + leading_number(monetary.at(p));
        ranking.rows.push_back(RankedRow{
            customers(0, p + 1),
            {customers(1, p + 1), number_text(total), recency.at(p), frequency.at(p), monetary.at(p)}});
    }
    sort_largest_first(ranking.rows, 1);
    return ranking;
}
