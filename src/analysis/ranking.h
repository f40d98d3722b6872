#pragma once

#include <QDate>

#include "analysis/ranking_common.h"

class Database;

// Customers by the total of their orders dated after the start of the one-year period (orders
// after today count too), with their visits over all time. Grid: 顧客名, 訪問数 (empty when
// none), 受注累計; largest total first. A customer no longer in 顧客 keeps its row with an empty name.
Ranking order_ranking(Database& db, const QDate& today);

// Goods by the total of their order lines dated strictly between the start of the period and today.
// Grid: 商品名, 累計金額; largest first.
Ranking goods_ranking(Database& db, const QDate& today);

// The start and end shown above both rankings: a year ago and today, yyyy/mm/dd.
QString period_start_text(const QDate& today);
QString period_end_text(const QDate& today);
