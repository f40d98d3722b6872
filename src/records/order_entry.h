#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

#include "db/database.h"

// Shown when an entry screen is asked to save without a customer.
inline const QString kChooseCustomerMessage = QStringLiteral("顧客を選択してください");
// Shown when the customer was deleted (or merged into another) after the screen was opened.
inline const QString kCustomerGoneMessage =
    QStringLiteral("この顧客は削除されています。記録は保存されません。顧客を選び直してください。");

// Run first inside a save's transaction: holds the customer's row so that no other PC deletes it
// before the save commits. False when the customer is no longer in the register.
bool lock_customer(Database& db, const QString& customer_id);

// One item of the goods list: the name shown, the key kept beside it.
struct GoodsItem {
    QString id;
    QString name;
};

// The goods chosen for the next order line.
struct ChosenGoods {
    QString id;
    QString name;
    QString price;  // as the database returns it; "-" when empty
};

// One order line as the grid shows it: goods key, name, quantity, subtotal.
struct OrderLine {
    QString goods_id;
    QString goods_name;
    QString quantity;
    QString subtotal;
};

// What the order screen holds when "保存" is pressed.
struct OrderForm {
    QString customer_id;
    QString customer_name;
    QString employee;  // Text1_0
    QString date;      // Text1_1; rewritten in canonical form when it passes the date check
    QString title;     // Text1_2
    QString amount;    // Text1_3, with or without thousands separators
    QString tax_rate;  // Text1_4
    QString discount;  // Text1_5
    QVector<OrderLine> lines;
};

// Every goods item, in the order the database returns them.
QVector<GoodsItem> load_goods_list(Database& db);

// The goods row with this key; nothing when there is none.
std::optional<ChosenGoods> load_goods(Database& db, const QString& goods_id);

// Unit price times quantity, exact and without separators. A price of "-" (empty in the database)
// counts as 0. Nothing when the price or the quantity is not a number.
std::optional<QString> line_subtotal(const QString& price, const QString& quantity);

// The grid line for the chosen goods; nothing when the quantity is not a number.
std::optional<OrderLine> make_order_line(const ChosenGoods& goods, const QString& quantity);

// The sum of the lines' subtotals with thousands separators, as the amount box shows it.
QString order_amount_text(const QVector<OrderLine>& lines);

// Checks the date and the numbers, then stores the order row and all its lines in one transaction.
// Returns the messages to show, in order; empty when the order was stored. A database failure
// throws DatabaseError and leaves nothing stored.
QStringList save_order(Database& db, OrderForm& form, const QDate& today);
