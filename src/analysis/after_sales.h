#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class Database;

// The follow-up criteria, in the order the screen offers them.
enum class FollowUp { LastOrder, LastVisit, OrderedGoods };

// Every order of each customer none of whose orders lies less than days before today, one entry per
// order: the customer name immediately followed by the order date. Customers without orders are
// never listed. Orders without a date or without a customer do not count as recent.
QStringList customers_without_recent_orders(Database& db, const QDate& today, qint64 days);
// The same over visits: name followed by visit date.
QStringList customers_without_recent_visits(Database& db, const QDate& today, qint64 days);
// The customer names of every order line of the goods item, one entry per line, newest first.
QStringList customers_of_goods(Database& db, const QString& goods_id);

// The goods offered for the goods criterion: names and keys at the same positions.
struct GoodsChoice {
    QStringList names;
    QStringList ids;
};
GoodsChoice goods_choice(Database& db);

// The day count typed for the date criteria, as a whole number; std::nullopt when it is not one
// (the screen then asks for a number).
std::optional<qint64> follow_up_days(const QString& text);
