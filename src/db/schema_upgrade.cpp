#include "db/schema_upgrade.h"

#include <algorithm>

#include "db/deleted_rows_schema.h"
#include "db/sync_schema.h"
#include "db/received_mail_schema.h"
#include "db/text_fold.h"
#include "db/server_lock.h"
#include "db/text_index.h"

namespace {

const QString kVersionTable = QStringLiteral("sales_schema");

// ---- step 1: folded reading and partial search

QStringList folded_search_statements(Dialect d) {
    switch (d) {
        case Dialect::Sqlite:
            // NOCASE lets LIKE 'prefix%' use the index, as for 顧客名かな.
            return {QStringLiteral("alter table 顧客 add column 検索かな text collate nocase"),
                    QStringLiteral("alter table 顧客 add column 検索文字列 text"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
        case Dialect::MySql:
            return {QStringLiteral("alter table 顧客 add column 検索かな varchar(255)"),
                    QStringLiteral("alter table 顧客 add column 検索文字列 text"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
        case Dialect::SqlServer:
            return {QStringLiteral("alter table 顧客 add 検索かな nvarchar(255)"),
                    QStringLiteral("alter table 顧客 add 検索文字列 nvarchar(max)"),
                    QStringLiteral("create index ix_顧客_検索かな on 顧客 (検索かな)")};
    }
    return {};
}

// The embedded file finds parts of the search text through a trigram index. It reads the text from
// 顧客 itself (external content); the triggers keep it in step with every write, by this program or
// any other, with no function of the program's own.
const QStringList kTrigramStatements = {
    QStringLiteral("create virtual table 顧客検索 using fts5(検索文字列, content='顧客', "
                   "content_rowid='顧客ID', tokenize='trigram')"),
    QStringLiteral("insert into 顧客検索(顧客検索) values('rebuild')"),
    QStringLiteral("create trigger 顧客検索_ai after insert on 顧客 begin "
                   "insert into 顧客検索(rowid, 検索文字列) values (new.顧客ID, new.検索文字列); end"),
    QStringLiteral("create trigger 顧客検索_ad after delete on 顧客 begin "
                   "insert into 顧客検索(顧客検索, rowid, 検索文字列) values ('delete', old.顧客ID, "
                   "old.検索文字列); end"),
    QStringLiteral("create trigger 顧客検索_au after update on 顧客 begin "
                   "insert into 顧客検索(顧客検索, rowid, 検索文字列) values ('delete', old.顧客ID, "
                   "old.検索文字列); "
                   "insert into 顧客検索(rowid, 検索文字列) values (new.顧客ID, new.検索文字列); end"),
    // The index's own pieces, read to find two typed characters as the start of a piece.
    QStringLiteral("create virtual table 顧客検索_語 using fts5vocab(顧客検索, 'row')"),
};

// The trigram index's room for pieces not yet written: SQLite's default, and while a bulk insert
// fills it.
constexpr int kTrigramMemory = 1024 * 1024;
constexpr int kBulkTrigramMemory = 64 * 1024 * 1024;

// The folded columns are filled by the start-up repair of the customers' copies, which runs after
// every upgrade; the trigram index then takes them in through its triggers.
void folded_search_apply(Database& db) {
    if (db.dialect() != Dialect::Sqlite)
        return;
    for (const QString& s : kTrigramStatements)
        db.execute_sql(s);
}

// ---- step 4: the customers' copies and match keys, kept with every write

// The fields the copies are made from (customers/customer_copies): a change of one of them by a
// program that does not know the copies must not leave them as they were.
const QStringList kCopySources = {"顧客名", "顧客名かな", "住所", "TEL", "FAX", "携帯", "Email", "担当者"};
const QStringList kMatchColumns = {"照合名", "照合電話1", "照合電話2", "照合電話3", "照合メール"};

// Which copies a source field feeds: a change of the field clears those and the stamp.
struct CopyColumn {
    QString name;
    QStringList sources;
};
const QVector<CopyColumn> kClearedCopies = {
    {"検索かな", {"顧客名かな"}}, {"検索文字列", {"顧客名", "住所", "担当者", "Email", "TEL", "FAX", "携帯"}},
    {"照合名", {"顧客名"}},       {"照合電話1", {"TEL"}},
    {"照合電話2", {"FAX"}},       {"照合電話3", {"携帯"}},
    {"照合メール", {"Email"}},
};

QString changed_condition(const QStringList& columns) {
    QStringList changed;
    for (const QString& c : columns)
        changed << QStringLiteral("new.%1 is not old.%1").arg(c);
    return changed.join(QStringLiteral(" or "));
}

// The columns step 4 adds to 顧客, with their type on this back-end.
QVector<std::pair<QString, QString>> customer_copy_columns(Dialect d) {
    QVector<std::pair<QString, QString>> out;
    // Binary comparison on every back-end: the keys are folded already.
    const QString key_type = d == Dialect::Sqlite  ? QStringLiteral("text")
                             : d == Dialect::MySql ? QStringLiteral("varchar(255) collate utf8mb4_bin")
                                                   : QStringLiteral("nvarchar(255)");
    for (const QString& c : kMatchColumns)
        out.push_back({c, key_type});
    out.push_back({QStringLiteral("写し印"), d == Dialect::Sqlite ? QStringLiteral("text")
                                             : d == Dialect::MySql
                                                 ? QStringLiteral("varchar(32) collate utf8mb4_bin")
                                                 : QStringLiteral("nvarchar(32)")});
    if (d == Dialect::MySql)
        out.push_back(
            {kCustomerChangedColumn,
             QStringLiteral("datetime not null default current_timestamp on update current_timestamp")});
    return out;
}

// Everything but the columns; each statement may meet what it makes already there (a step run again).
QStringList customer_copies_statements(Dialect d) {
    QStringList out;
    switch (d) {
        case Dialect::Sqlite: {
            // Only rows holding a key are indexed: empty phone and mail fields cost nothing.
            for (const QString& c : kMatchColumns)
                out << QStringLiteral(
                           "create index if not exists ix_顧客_%1 on 顧客 (%1) where %1 is not null")
                           .arg(c);
            // The rows whose copies wait for the start-up repair.
            out << QStringLiteral(
                "create index if not exists ix_顧客_写し待ち on 顧客 (顧客ID) where 写し印 is null");
            // The trigram index follows the search text only when it changes: the nested clear below
            // must not take a text out of it twice (an external-content index must be told exactly
            // what it holds).
            out << QStringLiteral("drop trigger if exists 顧客検索_au")
                << QStringLiteral(
                       "create trigger 顧客検索_au after update of 検索文字列 on 顧客 "
                       "when old.検索文字列 is not new.検索文字列 begin "
                       "insert into 顧客検索(顧客検索, rowid, 検索文字列) values ('delete', old.顧客ID, "
                       "old.検索文字列); "
                       "insert into 顧客検索(rowid, 検索文字列) values (new.顧客ID, new.検索文字列); end");
            // A write that changes a source field without writing a new stamp (an older copy of the
            // program, another tool, a change column by column) clears the copies made from it and the
            // stamp; the program recomputes them in the same transaction, or the start-up repair does.
            // A copy the same statement wrote anew (the folded reading and search text, which the
            // release before this step writes with every save) stays.
            QStringList cleared;
            for (const CopyColumn& c : kClearedCopies)
                cleared << QStringLiteral("%1=case when (%2) and new.%1 is old.%1 then null else %1 end")
                               .arg(c.name, changed_condition(c.sources));
            cleared << QStringLiteral("写し印=null");
            out << QStringLiteral("drop trigger if exists 顧客写し_au")
                << QStringLiteral(
                       "create trigger 顧客写し_au after update of %1 on 顧客 "
                       "when new.写し印 is old.写し印 and (%2) begin "
                       "update 顧客 set %3 where 顧客ID=new.顧客ID; end")
                       .arg(kCopySources.join(QLatin1Char(',')), changed_condition(kCopySources),
                            cleared.join(QLatin1Char(',')));
            break;
        }
        case Dialect::MySql:
            for (const QString& c : kMatchColumns + QStringList{"写し印", kCustomerChangedColumn})
                out << QStringLiteral("create index ix_顧客_%1 on 顧客 (%1)").arg(c);
            out << text_index_statements(customer_text_index(), d);
            break;
        case Dialect::SqlServer:
            for (const QString& c : kMatchColumns + QStringList{"写し印"})
                out << QStringLiteral("create index ix_顧客_%1 on 顧客 (%1)").arg(c);
            break;
    }
    return out;
}

bool already_made(const DatabaseError& e);

// Adds the columns that are missing, then the rest.
void customer_copies_apply(Database& db) {
    const QStringList existing = db.column_names(QStringLiteral("select * from 顧客 where 1=0"));
    auto exists = [&](const QString& name) {
        return std::any_of(existing.begin(), existing.end(),
                           [&](const QString& c) { return c.compare(name, Qt::CaseInsensitive) == 0; });
    };
    for (const auto& [name, type] : customer_copy_columns(db.dialect()))
        if (!exists(name))
            db.execute_sql(db.dialect() == Dialect::SqlServer
                               ? QStringLiteral("alter table 顧客 add %1 %2").arg(name, type)
                               : QStringLiteral("alter table 顧客 add column %1 %2").arg(name, type));
    for (const QString& s : customer_copies_statements(db.dialect())) {
        try {
            db.execute_sql(s);
        } catch (const DatabaseError& e) {
            if (db.dialect() != Dialect::MySql || !already_made(e))
                throw;
        }
    }
    const QString item = sql_text(kCustomerCopiesCheckedItem);
    if (db.query_rows(
            QStringLiteral("select count(*) from [%1] where [項目]=%2").arg(kProgramSettingsTable, item), 1)(
            0, 1) == QLatin1String("0"))
        db.execute_sql(
            QStringLiteral("insert into [%1] ([項目],[値]) values(%2,'')").arg(kProgramSettingsTable, item));
}

// ---- step 7: the trigram index without the lengths of its texts

// The lengths serve ranking by relevance, which no search uses; without them the index is filled
// faster. The search texts and what is typed are folded already (small letters included), so the
// index takes the pieces as they stand, as the servers' search compares them. Made anew from the
// search texts as they stand.
void lean_trigram_apply(Database& db) {
    if (db.dialect() != Dialect::Sqlite)
        return;
    db.execute_sql(QStringLiteral("drop table if exists 顧客検索_語"));
    db.execute_sql(QStringLiteral("drop table if exists 顧客検索"));
    db.execute_sql(
        QStringLiteral("create virtual table 顧客検索 using fts5(検索文字列, content='顧客', "
                       "content_rowid='顧客ID', tokenize='trigram case_sensitive 1', columnsize=0)"));
    db.execute_sql(kTrigramStatements.at(1));  // rebuild
    db.execute_sql(kTrigramStatements.at(5));  // the pieces
}

// ---- the runner

bool version_table_exists(Database& db) {
    const QString statement =
        db.dialect() == Dialect::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where type='table' and name='%1'")
        : db.dialect() == Dialect::MySql
            ? QStringLiteral(
                  "select count(*) from information_schema.tables where table_schema=database() "
                  "and table_name='%1'")
            : QStringLiteral("select count(*) from information_schema.tables where table_name='%1'");
    return db.query_rows(statement.arg(kVersionTable), 1)(0, 1).toInt() > 0;
}

// MySQL commits each DDL statement, so a step cut short is run again from its start: what it made
// the first time is passed over.
bool already_made(const DatabaseError& e) {
    const QString m = e.message();
    return m.contains(QLatin1String("Duplicate column name")) ||
           m.contains(QLatin1String("Duplicate key name")) || m.contains(QLatin1String("already exists"));
}

void run_step(Database& db, const SchemaStep& step) {
    if (step.statements) {
        for (const QString& s : step.statements(db.dialect())) {
            try {
                db.execute_sql(s);
            } catch (const DatabaseError& e) {
                if (db.dialect() != Dialect::MySql || !already_made(e))
                    throw;
            }
        }
    }
    if (step.apply)
        step.apply(db);
    db.execute_sql(QStringLiteral("update %1 set version=%2").arg(kVersionTable).arg(step.version));
}

void make_version_table(Database& db) {
    db.execute_sql(QStringLiteral("create table %1 (version int)").arg(kVersionTable));
    db.execute_sql(QStringLiteral("insert into %1 (version) values(0)").arg(kVersionTable));
}

// The version table with its one row: a table left without a row (a first run cut short on MySQL,
// where the create commits on its own) would otherwise keep version 0 whatever the steps record.
void ensure_version_row(Database& db) {
    if (!version_table_exists(db)) {
        make_version_table(db);
        return;
    }
    if (db.query_rows(QStringLiteral("select count(*) from %1").arg(kVersionTable), 1)(0, 1).toInt() == 0)
        db.execute_sql(QStringLiteral("insert into %1 (version) values(0)").arg(kVersionTable));
}

DatabaseError newer_database(int stored, int program) {
    return DatabaseError(QStringLiteral("このデータベースは新しい版の営業手帳で使われています"
                                        "（データベースの版 %1、このプログラムの版 %2）。\n"
                                        "データを守るため開きません。新しい版のプログラムをお使いください。")
                             .arg(stored)
                             .arg(program));
}

void run_steps_after(Database& db, int from) {
    for (const SchemaStep& step : schema_steps())
        if (step.version > from)
            run_step(db, step);
}

}  // namespace

const std::vector<SchemaStep>& schema_steps() {
    // To add a step: one line here, with the next number; never change a step once released.
    static const std::vector<SchemaStep> steps = {
        {1, QStringLiteral("顧客の読みと部分一致の検索"), folded_search_statements, folded_search_apply},
        {2, QStringLiteral("削除済みデータ"), {}, ensure_deleted_rows_table},
        {3, QStringLiteral("削除済みデータのキーの種類"), deleted_rows_key_kind_statements, {}},
        {kCustomerCopiesVersion, QStringLiteral("顧客の照合キーと写しの追従"), {}, customer_copies_apply},
        {5, QStringLiteral("受信メールの記録"), {}, ensure_received_mail_table},
        {6, QStringLiteral("持ち出しと同期"), {}, ensure_sync_tables},
        {7, QStringLiteral("部分一致の索引の軽量化"), {}, lean_trigram_apply},
    };
    return steps;
}

int current_schema_version() {
    return schema_steps().empty() ? 0 : schema_steps().back().version;
}

int stored_schema_version(Database& db) {
    if (!version_table_exists(db))
        return 0;
    const ResultTable rows =
        db.query_rows(QStringLiteral("select max(version) from %1").arg(kVersionTable), 1);
    return rows.row_count() == 0 ? 0 : rows(0, 1).toInt();
}

bool upgrade_schema(Database& db, const std::function<void(int, int)>& before_changes) {
    const int from = stored_schema_version(db);
    const int to = current_schema_version();
    if (from > to)
        throw newer_database(from, to);
    if (from == to)
        return false;
    if (before_changes)
        before_changes(from, to);
    // Another PC may have upgraded the database since the version was read: it is read again once
    // this connection alone may change it, and only the steps still missing then are run.
    if (db.dialect() == Dialect::MySql) {
        // MySQL commits each DDL statement, so no transaction keeps two PCs apart: a lock of the server does.
        const ServerLock lock(db, QStringLiteral("sales_schema_upgrade"), 120,
                              QStringLiteral("ほかのPCがデータベースの版を更新しています。"
                                             "しばらく待ってからもう一度起動してください。"));
        ensure_version_row(db);  // committed before any step, so a run cut short continues later
        const int now = stored_schema_version(db);
        if (now > to)
            throw newer_database(now, to);
        if (now == to)
            return false;
        Transaction tx(db);
        run_steps_after(db, now);
        tx.commit();
        return true;
    }
    // The embedded file's transaction takes the write lock at its start; SQL Server's takes an
    // exclusive lock of its own for the upgrade.
    Transaction tx(db);
    if (db.dialect() == Dialect::SqlServer)
        db.execute_sql(
            QStringLiteral("exec sp_getapplock @Resource='sales_schema_upgrade', @LockMode='Exclusive', "
                           "@LockOwner='Transaction', @LockTimeout=120000"));
    ensure_version_row(db);
    const int now = stored_schema_version(db);
    if (now > to)
        throw newer_database(now, to);
    if (now == to) {
        tx.commit();
        return false;
    }
    run_steps_after(db, now);
    tx.commit();
    return true;
}

void create_schema_version(Database& db) {
    make_version_table(db);
    run_steps_after(db, 0);
}

void pause_customer_search_index(Database& db) {
    if (db.dialect() == Dialect::Sqlite)
        db.execute_sql(QStringLiteral("drop trigger if exists 顧客検索_ai"));
}

void resume_customer_search_index(Database& db, qint64 after_key) {
    if (db.dialect() != Dialect::Sqlite)
        return;
    // The index gathers the pieces of the new rows in memory and writes them out once: with the
    // default room of 1 MB it writes many small segments and merges them over and over.
    db.execute_sql(QStringLiteral("insert into 顧客検索(顧客検索, rank) values('hashsize', %1)")
                       .arg(kBulkTrigramMemory));
    db.execute_sql(
        QStringLiteral("insert into 顧客検索(rowid, 検索文字列) select 顧客ID, 検索文字列 from 顧客 "
                       "where 顧客ID>%1 and 検索文字列 is not null")
            .arg(after_key));
    db.execute_sql(QStringLiteral("insert into 顧客検索(顧客検索, rank) values('hashsize', %1)")
                       .arg(kTrigramMemory));
    db.execute_sql(kTrigramStatements.at(2));
}

const TextIndex& customer_text_index() {
    static const TextIndex index{QStringLiteral("顧客"), QStringLiteral("顧客ID"),
                                 QStringLiteral("検索文字列"), QStringLiteral("顧客検索片"),
                                 QStringLiteral("顧客検索済")};
    return index;
}
