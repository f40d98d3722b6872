#include "masters/old_data.h"

#include <QRegularExpression>

#include "db/database.h"

QString proposed_cutoff(const QDate& today) {
    return QString::number(today.year() - 1) + QLatin1Char('/') + today.toString(QStringLiteral("MM/dd"));
}

namespace {

struct Step {
    const char* table;
    const char* column;
};
// Order lines go by their own copy of the order date, so an order and its lines leave together.
const Step steps[] = {{"受注", "受注日"},     {"訪問", "訪問日"},     {"問い合わせ", "受付日"},
                      {"受注明細", "受注日"}, {"クレーム", "受付日"}, {"見積もり", "提出日"},
                      {"原価", "登録日"}};

void check_cutoff(const QString& cutoff) {
    // The date is spliced into the statements: only a checked yyyy/mm/dd passes.
    static const QRegularExpression date(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
    if (!date.match(cutoff).hasMatch())
        throw DatabaseError(QStringLiteral("日付が正しくありません: ") + cutoff);
}

}  // namespace

QVector<DeletedRows> count_old_data(Database& db, const QString& cutoff) {
    check_cutoff(cutoff);
    QVector<DeletedRows> counts;
    for (const Step& s : steps) {
        const QString table = QString::fromUtf8(s.table);
        const QString n = db.query_rows(QStringLiteral("select count(*) from %1 where %2 < #%3#")
                                            .arg(table, QString::fromUtf8(s.column), cutoff),
                                        1)(0, 1);
        counts.push_back({table, n.toInt()});
    }
    return counts;
}

QString old_data_question(const QVector<DeletedRows>& counts) {
    int total = 0;
    QString lines;
    for (const DeletedRows& d : counts) {
        total += d.count;
        lines += QStringLiteral("\n%1: %2 件").arg(d.table).arg(d.count);
    }
    return QStringLiteral("次のデータ（合計 %1 件）を消去します。").arg(total) + lines +
           QStringLiteral("\n本当に削除しますか");
}

QVector<DeletedRows> delete_old_data(Database& db, const QString& cutoff) {
    check_cutoff(cutoff);
    const QString literal = QLatin1Char('#') + cutoff + QLatin1Char('#');
    QVector<DeletedRows> deleted;
    Transaction transaction(db);
    for (const Step& s : steps) {
        const QString table = QString::fromUtf8(s.table);
        const int n = db.execute_sql(
            QStringLiteral("delete from %1 where %2 < %3").arg(table, QString::fromUtf8(s.column), literal));
        deleted.push_back({table, qMax(n, 0)});
    }
    transaction.commit();
    return deleted;
}

QString deleted_rows_message(const QVector<DeletedRows>& deleted) {
    QString text = QStringLiteral("削除しました");
    for (const DeletedRows& d : deleted)
        text += QStringLiteral("\n%1: %2 件").arg(d.table).arg(d.count);
    return text;
}
