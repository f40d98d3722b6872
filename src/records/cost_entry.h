#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include "db/database.h"

// The hint of the cost screen, also shown when "保存" is pressed before an order is chosen.
inline const QString kChooseOrderMessage = QStringLiteral("受注物件を選択してください");

// One of the customer's orders as the cost screen lists it.
struct CostOrder {
    QString id;
    QString date;
    QString title;
    QString amount;
};

// What the cost screen holds when "保存" is pressed.
struct CostForm {
    QString customer_id;
    QString order_id;  // Label2_1; empty until an order is chosen
    QString date;      // Text1_1; rewritten in canonical form when it passes the date check
    QString name;      // Text1_2
    QString amount;    // Text1_3, with or without thousands separators
};

// The names of 原価コード, ordered by their group.
QStringList load_cost_names(Database& db);

// The customer's orders, newest first.
QVector<CostOrder> load_customer_orders(Database& db, const QString& customer_id);

// Checks the chosen order, the date and the amount, then stores one 原価 row. Returns the messages
// to show, in order; empty when the row was stored.
QStringList save_cost(Database& db, CostForm& form, const QDate& today);
