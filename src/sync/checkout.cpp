#include "sync/checkout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "app/startup.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/schema_upgrade.h"
#include "sync/office_copy.h"
#include "sync/sync_tables.h"

namespace {

const QString kFileName = QStringLiteral("sales.mdb");

void remove_file(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

}  // namespace

CheckoutResult take_out(Database& office, const OfficeIdentity& identity, const CheckoutOptions& options) {
    if (is_taken_out_copy(office))
        throw DatabaseError(
            QStringLiteral("このデータベースは持ち出したコピーです。持ち出しは事務所のデータベースにつないだP"
                           "Cで行ってください。"));
    if (options.folder.trimmed().isEmpty())
        throw DatabaseError(QStringLiteral("持ち出し先のフォルダを指定してください。"));
    QDir folder(QDir(options.folder).absolutePath());
    if (QFileInfo::exists(folder.filePath(QStringLiteral("sales.ini"))) ||
        QFileInfo::exists(folder.filePath(kFileName)))
        throw DatabaseError(
            QStringLiteral(
                "持ち出し先のフォルダには既に営業手帳のデータがあります。空のフォルダを選んでください。\n") +
            QDir::toNativeSeparators(folder.absolutePath()));
    const bool made_folder = !folder.exists();
    if (!QDir().mkpath(folder.absolutePath()))
        throw DatabaseError(QStringLiteral("フォルダを作成できません: ") +
                            QDir::toNativeSeparators(folder.absolutePath()));

    CheckoutResult result;
    result.folder = folder.absolutePath();
    result.copy_id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString file = folder.filePath(kFileName);
    try {
        Database laptop;
        laptop.open_sqlite_file(file, true);
        create_schema(laptop);
        const int mine = stored_schema_version(laptop);
        const int theirs = stored_schema_version(office);
        if (mine != theirs)
            throw DatabaseError(
                QStringLiteral(
                    "事務所のデータベースの版（%1）とこのプログラムの版（%2）が違うため、持ち出せません。")
                    .arg(theirs)
                    .arg(mine));
        // The new file is thrown away if anything fails: no journal is needed while it is filled, and
        // its indexes are made again after the rows are in, which is quicker than growing them.
        laptop.query_rows(QStringLiteral("PRAGMA journal_mode=MEMORY"), 1);
        laptop.execute_sql(QStringLiteral("PRAGMA synchronous=OFF"));
        laptop.execute_sql(QStringLiteral("PRAGMA cache_size=-65536"));
        Transaction tx(laptop);
        const ResultTable indexes = laptop.query_rows(
            QStringLiteral("select name, sql from sqlite_master where type='index' and sql is not null"), 2);
        for (int r = 1; r <= indexes.row_count(); ++r)
            laptop.execute_sql(QStringLiteral("drop index [%1]").arg(indexes(0, r)));
        CopyInfo info;
        info.copy_id = result.copy_id;
        info.office_kind = identity.kind;
        info.office_database = identity.database;
        info.office_folder =
            identity.kind == QLatin1String("Jet") ? QDir(identity.folder).absolutePath() : QString();
        info.employee = options.employee;
        const QVector<TableShape> shapes = synced_tables(laptop);
        // The new file's seed rows make way for the office's own.
        for (const TableShape& shape : shapes)
            laptop.execute_sql(QStringLiteral("delete from [%1]").arg(shape.name));
        {
            OfficeSnapshot snapshot(office);
            info.taken_at = QDateTime::currentDateTime();
            result.taken_at = info.taken_at;
            refuse_large_office_keys(office, shapes);
            PieceSums pieces(laptop, office);
            copy_office_rows(laptop, office, shapes, {}, {}, pieces,
                             [&](int done, int total, const QString& table) {
                                 if (options.progress && !options.progress(done, total, table))
                                     throw DatabaseError(QStringLiteral("持ち出しを中止しました。"));
                             });
            pieces.save();
        }
        for (int r = 1; r <= indexes.row_count(); ++r)
            laptop.execute_sql(indexes(1, r));
        create_copy_tables(laptop, info);
        number_laptop_rows_apart(laptop, shapes);
        install_journal_triggers(laptop, shapes);
        set_recording(laptop, true);
        result.customers = laptop.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toInt();
        result.orders = laptop.query_rows(QStringLiteral("select count(*) from 受注"), 1)(0, 1).toInt();
        tx.commit();
        laptop.query_rows(QStringLiteral("PRAGMA journal_mode=WAL"), 1);
        laptop.close();

        folder.mkpath(QStringLiteral("mail"));
        folder.mkpath(QStringLiteral("help"));
        if (!options.help_source.isEmpty() && QFileInfo::exists(options.help_source))
            QFile::copy(options.help_source, folder.filePath(QStringLiteral("help/index.html")));
        write_sales_ini(folder.absolutePath(), options.first_entry, QStringLiteral("Jet"), kFileName);
    } catch (const StartupError& e) {
        remove_file(file);
        if (made_folder)
            folder.removeRecursively();
        throw DatabaseError(e.message());
    } catch (...) {
        remove_file(file);
        if (made_folder)
            folder.removeRecursively();
        throw;
    }
    return result;
}
