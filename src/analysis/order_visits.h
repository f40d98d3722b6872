#pragma once

#include "analysis/ranking_common.h"

class Database;

// Every customer with orders, its order total over all time set against its visits. Grid: 顧客名,
// ランク (total divided by visits, or the total itself without visits), 訪問数 (empty when none),
// 受注累計; largest ランク first. A customer no longer in 顧客 keeps its row with an empty name.
Ranking order_visits(Database& db);
