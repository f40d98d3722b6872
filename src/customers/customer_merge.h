#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// 顧客の統合: two records of one customer become one. Every activity row of the other customer
// (orders with their lines, estimates, visits, inquiries, claims, costs) moves to the kept key, the
// kept customer's empty fields are filled from the other, and the other is deleted through the
// restorable delete, which also remembers what moved: restoring it undoes the merge.

struct MergePlan {
    QString kept_id;
    QString other_id;
    QString kept_name;
    QString other_name;
    QVector<QPair<QString, int>> moves;  // activity table, rows that move
    QStringList filled;                  // columns of the kept customer filled from the other
};

// What a merge would do, for the question before it; throws DatabaseError when a customer is
// missing or both are the same.
MergePlan plan_merge(Database& db, const QString& kept_id, const QString& other_id);
QString merge_question(const MergePlan& plan);

// Does it, in one transaction; returns what was done.
MergePlan merge_customers(Database& db, const QString& kept_id, const QString& other_id,
                          const QString& employee);
