#include "sync/sync_tables.h"

#include <QHash>
#include <QSet>
#include <algorithm>

#include "customers/customer_copies.h"
#include "db/database.h"
#include "db/deleted_rows_schema.h"
#include "db/schema_upgrade.h"
#include "db/sync_schema.h"

namespace {

const QString kCustomers = QStringLiteral("顧客");
const QString kRecording = QStringLiteral("記録");

// Tables whose key is a value the user gives, not a number the database makes.
const QHash<QString, QString>& given_keys() {
    static const QHash<QString, QString> keys = {
        {QStringLiteral("テンプレート"), QStringLiteral("名称")},
        {QStringLiteral("RFM"), QStringLiteral("ID")},
        {QStringLiteral("テーブル項目"), QStringLiteral("table_id")},
    };
    return keys;
}

bool numeric_type(const QString& declared) {
    const QString t = declared.toUpper();
    for (const char* part : {"INT", "NUM", "REAL", "DOUB", "FLOA", "DEC", "BIT", "BOOL"})
        if (t.contains(QLatin1String(part)))
            return true;
    return false;
}

QString ident(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

int depth_of(const QString& table, const QHash<QString, TableShape>& shapes, QSet<QString>& visiting) {
    const auto it = shapes.constFind(table);
    if (it == shapes.constEnd() || visiting.contains(table))
        return 0;
    visiting.insert(table);
    int depth = 0;
    for (const QString& parent : it->refers_to)
        if (!parent.isEmpty() && parent != table)
            depth = std::max(depth, 1 + depth_of(parent, shapes, visiting));
    visiting.remove(table);
    return depth;
}

}  // namespace

int TableShape::column(const QString& name) const {
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TableShape::is_deleted_rows() const {
    return name == kDeletedRowsTable;
}

const QStringList& local_only_tables() {
    static const QStringList tables;
    return tables;
}

QVector<TableShape> synced_tables(Database& laptop) {
    const ResultTable tables = laptop.query_rows(
        QStringLiteral("select name, coalesce(sql,'') from sqlite_master where type='table' order by name"),
        2);
    QStringList virtuals;
    for (int r = 1; r <= tables.row_count(); ++r)
        if (tables(1, r).simplified().startsWith(QLatin1String("create virtual"), Qt::CaseInsensitive))
            virtuals << tables(0, r);
    const QStringList own = {QStringLiteral("sales_schema"), kCopyInfoTable, kJournalTable,
                             kAppliedChangesTable, QStringLiteral("持ち出し区間")};
    QHash<QString, TableShape> shapes;
    QStringList names;
    for (int r = 1; r <= tables.row_count(); ++r) {
        const QString name = tables(0, r);
        if (name.startsWith(QLatin1String("sqlite_")) || own.contains(name) ||
            local_only_tables().contains(name) || virtuals.contains(name))
            continue;
        if (std::any_of(virtuals.begin(), virtuals.end(),
                        [&](const QString& v) { return name.startsWith(v + QLatin1Char('_')); }))
            continue;  // a search index's own storage
        const ResultTable info =
            laptop.query_rows(QStringLiteral("pragma table_info(%1)").arg(sql_text(name)), 6);
        TableShape shape;
        shape.name = name;
        int primary = -1;
        int primary_count = 0;
        for (int i = 1; i <= info.row_count(); ++i) {
            shape.columns << info(1, i);
            shape.numeric << numeric_type(info(2, i));
            shape.derived << is_derived_column(name, info(1, i));
            if (info(5, i) != QLatin1String("0") && info(5, i) != QLatin1String("-")) {
                primary = i - 1;
                ++primary_count;
            }
        }
        shape.refers_to = QVector<QString>(shape.columns.size());
        const bool numbered = primary_count == 1 && shape.numeric.at(primary) &&
                              info(2, primary + 1).toUpper().contains(QLatin1String("INT")) &&
                              tables(1, r).contains(QLatin1String("autoincrement"), Qt::CaseInsensitive);
        if (numbered) {
            shape.identity = RowIdentity::Numbered;
            shape.key = primary;
        } else if (given_keys().contains(name) && shape.column(given_keys().value(name)) >= 0) {
            shape.identity = RowIdentity::Given;
            shape.key = shape.column(given_keys().value(name));
        }
        shapes.insert(name, shape);
        names << name;
    }
    // A column named as another table's numbered key points to that table's rows.
    for (TableShape& shape : shapes) {
        for (int c = 0; c < shape.columns.size(); ++c) {
            if (c == shape.key && shape.identity == RowIdentity::Numbered)
                continue;
            QStringList parents;
            for (const TableShape& other : std::as_const(shapes))
                if (other.name != shape.name && other.identity == RowIdentity::Numbered &&
                    other.columns.at(other.key).compare(shape.columns.at(c), Qt::CaseInsensitive) == 0)
                    parents << other.name;
            if (parents.size() == 1)
                shape.refers_to[c] = parents.first();
        }
    }
    QHash<QString, int> depth;
    for (const QString& name : names) {
        QSet<QString> visiting;
        depth.insert(name, depth_of(name, shapes, visiting));
    }
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString& a, const QString& b) { return depth.value(a) < depth.value(b); });
    QVector<TableShape> out;
    for (const QString& name : names)
        out << shapes.value(name);
    return out;
}

const TableShape* find_shape(const QVector<TableShape>& shapes, const QString& table) {
    for (const TableShape& s : shapes)
        if (s.name == table)
            return &s;
    return nullptr;
}

bool is_derived_column(const QString& table, const QString& column) {
    return table == kCustomers && is_customer_copy_column(column);
}

void recompute_derived_columns(Database& office, const QString& table, const QString& key) {
    if (table == kCustomers)
        customer_copies_follow(office, {key});
}

bool is_taken_out_copy(Database& db) {
    if (db.dialect() != Dialect::Sqlite)
        return false;
    return db.query_rows(QStringLiteral("select count(*) from sqlite_master where type='table' and name=%1")
                             .arg(sql_text(kCopyInfoTable)),
                         1)(0, 1)
               .toInt() > 0;
}

QString copy_time_text(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")) : QString();
}

QDateTime copy_time(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

CopyInfo read_copy_info(Database& laptop) {
    if (!is_taken_out_copy(laptop))
        throw DatabaseError(
            QStringLiteral("このデータベースは持ち出したコピーではありません。"
                           "同期は、持ち出し（ファイル → 持ち出し…）で作ったフォルダで行います。"));
    const ResultTable rows =
        laptop.query_rows(QStringLiteral("select [項目],[値] from [%1]").arg(kCopyInfoTable), 2);
    QHash<QString, QString> items;
    for (int r = 1; r <= rows.row_count(); ++r)
        items.insert(rows(0, r), rows(1, r));
    CopyInfo info;
    info.copy_id = items.value(QStringLiteral("持ち出しID"));
    info.office_kind = items.value(QStringLiteral("事務所の種類"));
    info.office_database = items.value(QStringLiteral("事務所のデータベース"));
    info.office_folder = items.value(QStringLiteral("事務所のフォルダ"));
    info.employee = items.value(QStringLiteral("持ち出した社員"));
    info.taken_at = copy_time(items.value(QStringLiteral("持ち出し日時")));
    info.synced_at = copy_time(items.value(QStringLiteral("最終同期日時")));
    if (info.copy_id.isEmpty() || info.office_kind.isEmpty())
        throw DatabaseError(QStringLiteral("持ち出し情報が壊れているため、同期できません。"));
    return info;
}

void write_copy_info(Database& laptop, const QString& item, const QString& value) {
    laptop.execute_sql(QStringLiteral("insert or replace into [%1] ([項目],[値]) values(%2,%3)")
                           .arg(kCopyInfoTable, sql_text(item), sql_text(value)));
}

void create_copy_tables(Database& laptop, const CopyInfo& info) {
    laptop.execute_sql(
        QStringLiteral("create table [%1] ([項目] text primary key, [値] text)").arg(kCopyInfoTable));
    laptop.execute_sql(
        QStringLiteral("create table [%1] ([連番] integer primary key autoincrement, "
                       "[テーブル名] text not null, [行] integer not null, [種類] text not null, "
                       "[元の行] text, [日時] text)")
            .arg(kJournalTable));
    laptop.execute_sql(
        QStringLiteral("create index [ix_journal_row] on [%1] ([テーブル名],[行])").arg(kJournalTable));
    write_copy_info(laptop, QStringLiteral("持ち出しID"), info.copy_id);
    write_copy_info(laptop, QStringLiteral("事務所の種類"), info.office_kind);
    write_copy_info(laptop, QStringLiteral("事務所のデータベース"), info.office_database);
    write_copy_info(laptop, QStringLiteral("事務所のフォルダ"), info.office_folder);
    write_copy_info(laptop, QStringLiteral("持ち出した社員"), info.employee);
    write_copy_info(laptop, QStringLiteral("持ち出し日時"), copy_time_text(info.taken_at));
    write_copy_info(laptop, kRecording, QStringLiteral("0"));
}

void set_recording(Database& laptop, bool on) {
    write_copy_info(laptop, kRecording, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void install_journal_triggers(Database& laptop, const QVector<TableShape>& shapes) {
    const QString when = QStringLiteral("(select [値] from [%1] where [項目]=%2)='1'")
                             .arg(kCopyInfoTable, sql_text(kRecording));
    const QString now = QStringLiteral("datetime('now','localtime')");
    const QString into =
        QStringLiteral("insert into [%1] ([テーブル名],[行],[種類],[元の行],[日時]) ").arg(kJournalTable);
    for (const TableShape& t : shapes) {
        QStringList old_values;
        QStringList changed = {QStringLiteral("old.rowid is not new.rowid")};
        for (int c = 0; c < t.columns.size(); ++c) {
            old_values << QStringLiteral("old.") + ident(t.columns.at(c));
            if (!t.derived.at(c))
                changed << QStringLiteral("old.%1 is not new.%1").arg(ident(t.columns.at(c)));
        }
        const QString table = sql_text(t.name);
        const QString old_row = QStringLiteral("json_array(%1)").arg(old_values.join(QLatin1Char(',')));
        const QString base = QStringLiteral("持ち出し_") + t.name;
        for (const char* suffix : {"_ai", "_au", "_ad"})
            laptop.execute_sql(
                QStringLiteral("drop trigger if exists [%1%2]").arg(base, QLatin1String(suffix)));
        laptop.execute_sql(QStringLiteral("create trigger [%1_ai] after insert on [%2] when %3 begin "
                                          "%4values(%5,new.rowid,'I',null,%6); end")
                               .arg(base, t.name, when, into, table, now));
        // A change of the key itself is a delete of the old row and an insert of the new one.
        laptop.execute_sql(
            QStringLiteral("create trigger [%1_au] after update on [%2] when %3 and (%4) begin "
                           "%5select %6,old.rowid,'D',%7,%8 where old.rowid is not new.rowid; "
                           "%5select %6,new.rowid,'I',null,%8 where old.rowid is not new.rowid; "
                           "%5select %6,old.rowid,'U',%7,%8 where old.rowid is new.rowid; end")
                .arg(base, t.name, when, changed.join(QStringLiteral(" or ")), into, table, old_row, now));
        laptop.execute_sql(QStringLiteral("create trigger [%1_ad] after delete on [%2] when %3 begin "
                                          "%4values(%5,old.rowid,'D',%6,%7); end")
                               .arg(base, t.name, when, into, table, old_row, now));
    }
}

void keep_journal_complete(Database& db) {
    if (!is_taken_out_copy(db))
        return;
    Transaction tx(db);
    install_journal_triggers(db, synced_tables(db));
    tx.commit();
}

int pending_change_count(Database& laptop) {
    return laptop
        .query_rows(QStringLiteral("select count(*) from (select distinct [テーブル名],[行] from [%1] where "
                                   "[テーブル名]<>%2)")
                        .arg(kJournalTable, sql_text(kDeletedRowsTable)),
                    1)(0, 1)
        .toInt();
}
