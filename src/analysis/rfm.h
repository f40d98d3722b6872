#pragma once

#include <QDate>
#include <QString>
#include <QVector>

#include "analysis/ranking_common.h"

class Database;

// The twelve places of the RFM class settings: 0-3 recency, 4-7 frequency, 8-11 monetary.
inline constexpr int kRfmClassCount = 12;

// One class setting, a row of the table RFM.
struct RfmClass {
    QString id;           // the row's ID; empty for a place without a row
    QString description;  // a1
    QString threshold;    // a2, read as a number
    QString points;       // the points text, shown and summed

    bool exists() const { return !id.isEmpty(); }
};

// The settings in the order the table returns them, always kRfmClassCount places; places without a
// row are empty (their threshold reads as 0).
QVector<RfmClass> load_rfm_classes(Database& db);

// Checks the edited settings: every threshold of an existing row must be a whole number. Returns
// the place of the first one that is not, -1 when all are.
int first_bad_threshold(const QVector<RfmClass>& classes);

// Writes the description and threshold of every existing row, each trimmed and otherwise as typed,
// in one transaction. The caller checks the thresholds first (first_bad_threshold).
void save_rfm_classes(Database& db, const QVector<RfmClass>& classes);

// Scores every customer with the classes and the orders up to today's date. The grid: 顧客名, 総合,
// R, F, M, one row per customer (id kept), sorted by 総合, largest first.
Ranking compute_rfm(Database& db, const QVector<RfmClass>& classes, const QDate& today);
