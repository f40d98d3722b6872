#include "analysis/rfm.h"

#include <QHash>

#include "db/database.h"
#include "records/number_text.h"

namespace {

constexpr int kRecency = 0;
constexpr int kFrequency = 4;
constexpr int kMonetary = 8;

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

    // Recency: newest order first; a customer is classified by the latest order that gives a class
    // with points other than 0. Orders without a date give no number of days and are skipped.
    const ResultTable orders = db.query_rows(
        QStringLiteral("select 顧客ID,受注日 from 受注 where 受注日 is not null order by 受注日 DESC"), 2);
    for (int r = 1; r <= orders.row_count(); ++r) {
        const auto it = position.constFind(orders(0, r));
        if (it == position.constEnd() || !unclassified(recency.at(*it)))
            continue;
        const QDate day = QDate::fromString(orders(1, r), QStringLiteral("yyyy/MM/dd"));
        if (!day.isValid())
            continue;
        const qint64 days = day.daysTo(today);
        for (int i = kRecency; i < kRecency + 4; ++i) {
            if (double(days) < thresholds.at(i)) {
                recency[*it] = classes.at(i).points;
                break;
            }
        }
    }

    // Frequency and monetary value over all of the customer's orders; a NULL sum counts as 0.
    const ResultTable totals =
        db.query_rows(QStringLiteral("select 顧客ID,count(*),sum(受注金額) from 受注 group by 顧客ID"), 3);
    for (int r = 1; r <= totals.row_count(); ++r) {
        const auto it = position.constFind(totals(0, r));
        if (it == position.constEnd())
            continue;
        frequency[*it] = class_above(thresholds, classes, kFrequency, double(sum_value(totals(1, r))));
        monetary[*it] = class_above(thresholds, classes, kMonetary, double(sum_value(totals(2, r))));
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
