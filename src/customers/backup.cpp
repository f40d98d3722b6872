#include "customers/backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

#include "app/session.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/schema.h"

namespace {

bool embedded(const Session& session) {
    return session.db_kind == QLatin1String("Jet");
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Row counts of every table; throws DatabaseError when a table is missing.
QVector<qlonglong> row_counts(Database& db) {
    QVector<qlonglong> counts;
    for (const TableDef& t : schema_tables())
        counts
            << db.query_rows(QStringLiteral("select count(*) from [%1]").arg(t.name), 1)(0, 1).toLongLong();
    return counts;
}

// A consistent copy of the database open on db, written to a new file at path.
void copy_open_database(Database& db, const QString& path) {
    db.execute_sql(QStringLiteral("VACUUM INTO ") + sql_text(path));
}

bool same_file(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

void remove_database_files(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

}  // namespace

bool replace_file(const QString& from, const QString& to, QString* reason) {
    // One rename over the old file: at every moment `to` is either the old file or the new one.
    std::error_code error;
    std::filesystem::rename(QFile(from).filesystemFileName(), QFile(to).filesystemFileName(), error);
    if (error && reason)
        *reason = QString::fromLocal8Bit(error.message());
    return !error;
}

QString default_backup_name(const QDate& today) {
    return QStringLiteral("backup_") + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".mdb");
}

MaintenanceResult backup_database(Session& session, const QString& target) {
    const QString fail = QStringLiteral("バックアップできませんでした。\n");
    if (!embedded(session))
        return {false, fail + QStringLiteral("データソース（%1）のデータベースはファイルではないため、"
                                             "このプログラムではバックアップできません。"
                                             "データベースサーバーのバックアップ機能をお使いください。")
                                  .arg(session.database_name)};
    if (target.trimmed().isEmpty())
        return {false, fail + QStringLiteral("バックアップファイル名を指定してください。")};
    const QString source = QDir(session.program_folder).filePath(session.database_name);
    const QString path = QFileInfo(target).absoluteFilePath();
    if (same_file(source, path))
        return {false,
                fail + QStringLiteral("使用中のデータベースファイルには上書きできません: ") + native(path)};
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return {false,
                fail + QStringLiteral("フォルダに書き込めません: ") + native(folder.absoluteFilePath())};
    if (QFileInfo(path).isDir())
        return {false, fail + QStringLiteral("同じ名前のフォルダがあります: ") + native(path)};

    // The copy is made beside the target and renamed over it only after it has been verified.
    const QString temporary = path + QStringLiteral(".part");
    remove_database_files(temporary);
    try {
        Database& db = *session.db;
        copy_open_database(db, temporary);
        const QVector<qlonglong> expected = row_counts(db);
        QVector<qlonglong> copied;
        {
            Database copy;
            copy.open_sqlite_file(temporary, false);
            copied = row_counts(copy);
            if (copy.query_rows(QStringLiteral("PRAGMA quick_check"), 1)(0, 1) != QLatin1String("ok"))
                throw DatabaseError(QStringLiteral("コピーしたファイルが壊れています"));
            // Back to a single file, so the backup can be copied on by itself.
            copy.query_rows(QStringLiteral("PRAGMA journal_mode = DELETE"), 1);
        }
        if (copied != expected)
            throw DatabaseError(QStringLiteral("コピーしたファイルの件数が元のデータベースと一致しません"));
    } catch (const DatabaseError& e) {
        remove_database_files(temporary);
        return {false, fail + e.message()};
    }
    QString reason;
    if (!replace_file(temporary, path, &reason)) {
        remove_database_files(temporary);
        return {false,
                fail + QStringLiteral("既存のファイルを置き換えられません（元のファイルはそのままです）: ") +
                    native(path) + QStringLiteral("\n") + reason};
    }
    QFile::remove(temporary + QStringLiteral("-wal"));
    QFile::remove(temporary + QStringLiteral("-shm"));
    // Side files of the replaced file would otherwise be taken for the new file's journal.
    for (const char* side : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(side));
    return {true, QStringLiteral("データベースをバックアップしました\n") + native(path)};
}

MaintenanceResult switch_database(Session& session, const QString& chosen_path) {
    const QString fail = QStringLiteral("データベースを切り替えられませんでした。\n");
    if (!embedded(session))
        return {false, fail + QStringLiteral("データソース（%1）を使う設定のため、データベースファイルには"
                                             "切り替えられません。")
                                  .arg(session.database_name)};
    const QFileInfo chosen(chosen_path);
    if (!chosen.isFile())
        return {false, fail + QStringLiteral("ファイルがありません: ") + native(chosen_path)};
    const QString name = chosen.fileName();
    const QString destination = QDir(session.program_folder).filePath(name);
    const bool in_place = same_file(chosen.absoluteFilePath(), destination);
    if (!in_place && QFileInfo::exists(destination))
        return {false, fail + QStringLiteral("プログラムフォルダに同じ名前の別のファイル %1 があります。"
                                             "ファイル名を変えてから選んでください。")
                                  .arg(name)};
    Database candidate;
    try {
        // A file that SQLite cannot read, or that lacks one of the tables, is not ours.
        candidate.open_sqlite_file(chosen.absoluteFilePath(), false);
        row_counts(candidate);
    } catch (const DatabaseError&) {
        return {false, fail + QStringLiteral("%1 はこのプログラムのデータベースではありません。").arg(name)};
    }
    // The program opens its database from its own folder: a file elsewhere is copied there.
    if (!in_place) {
        try {
            copy_open_database(candidate, destination);
            Database copy;
            copy.open_sqlite_file(destination, false);
            if (row_counts(copy) != row_counts(candidate))
                throw DatabaseError(
                    QStringLiteral("プログラムフォルダへのコピーが元のファイルと一致しません"));
            copy.query_rows(QStringLiteral("PRAGMA journal_mode = DELETE"), 1);
        } catch (const DatabaseError& e) {
            remove_database_files(destination);
            return {
                false,
                fail +
                    QStringLiteral("%1 をプログラムフォルダにコピーできません: %2").arg(name, e.message())};
        }
    }
    candidate.close();
    try {
        write_sales_ini(session.program_folder, session.first_entry, session.db_kind, name);
    } catch (const StartupError& e) {
        return {false, fail + e.message()};
    }
    // The new setting takes effect at the next start; until then no statement reaches either file.
    session.db->close();
    QString message = QStringLiteral("設定を有効にするため、プログラムを再起動してください");
    message += QStringLiteral("\n（再起動するまで、データベースの読み書きはできません）");
    if (!in_place)
        message += QStringLiteral("\n（%1 をプログラムフォルダにコピーしました）").arg(name);
    return {true, message};
}
