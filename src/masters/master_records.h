#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class Database;

// The two master tables kept by the same screen pattern: employees (社員) and goods (商品).
enum class MasterKind { Employees, Goods };

// Each has a key, a name that the list shows, and four fields edited in boxes 0 to 3.
struct MasterTable {
    QString table;          // 社員, 商品
    QString key_column;     // 社員ID, 商品ID
    QString name_column;    // the column the list shows
    QStringList columns;    // the four edited columns, in box order
    QStringList captions;   // the boxes' captions
    QString key_caption;    // 社員ID, 商品ID
    int required = 2;       // boxes 0 .. required-1 must be filled
    QVector<bool> numeric;  // boxes that hold whole numbers (spliced quoted, checked first)
    QString title;          // the screen's title
};
const MasterTable& master_table(MasterKind kind);

inline const QString kRequiredMessage = QStringLiteral("必要な情報を入力してください");

struct MasterEntry {
    QString key;
    QString name;
};
// The list: key and name of every row, in the order the database returns them.
QVector<MasterEntry> list_masters(Database& db, MasterKind kind);

struct MasterRecord {
    QString key;
    QStringList fields;  // four
};
// One row by its key; std::nullopt when it is gone.
std::optional<MasterRecord> read_master(Database& db, MasterKind kind, const QString& key);

// Insert and update check the boxes first and return the message for the user when they are refused
// (nothing is written then); empty when the statement ran.
QString insert_master(Database& db, MasterKind kind, const QStringList& fields);
QString update_master(Database& db, MasterKind kind, const QString& key, const QStringList& fields);
// The row is kept in 削除済みデータ in the same transaction.
void delete_master(Database& db, MasterKind kind, const QString& key, const QString& employee = QString());
