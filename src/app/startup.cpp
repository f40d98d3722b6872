#include "app/startup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/log_file.h"
#include "app/sequential_values.h"
#include "app/user_folder.h"
#include "customers/backup.h"
#include "customers/customer_copies.h"
#include "db/deleted_rows.h"
#include "db/deleted_rows_schema.h"
#include "db/schema_upgrade.h"

namespace {
const QString kIniName = QStringLiteral("sales.ini");

// An older database is brought up to this program's version; an embedded file only after a verified
// copy of it is in the program folder. Customers written since by an older copy or another program get
// their copies recomputed.
void upgrade_on_open(Session& session) {
    Database& db = *session.db;
    upgrade_schema(db, [&](int from, int to) {
        if (session.db_kind != QLatin1String("Jet"))
            return;  // a server's database is backed up by the server's own tools
        const QString name =
            QStringLiteral("backup_v%1_%2.mdb")
                .arg(from)
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")));
        const MaintenanceResult backup =
            backup_database(session, QDir(session.program_folder).filePath(name));
        if (!backup.ok)
            throw DatabaseError(QStringLiteral("データベースを版 %1 から版 %2 に更新する前のバックアップが"
                                               "できなかったため、更新せずに終了します。\n")
                                    .arg(from)
                                    .arg(to) +
                                backup.message);
    });
    repair_customer_copies(db);
}
}  // namespace

void read_sales_ini(Session& session) {
    const QString path = QDir(session.program_folder).filePath(kIniName);
    QFile file(path);
    if (!file.exists())
        throw StartupError(
            QStringLiteral("設定ファイル sales.ini がありません。\n%1").arg(QDir::toNativeSeparators(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw StartupError(
            QStringLiteral("設定ファイル sales.ini を読めません。\n%1").arg(file.errorString()));
    const QStringList values = read_sequential_values(decode_text_file(file.readAll()));
    if (values.size() < 3)
        throw StartupError(
            QStringLiteral("設定ファイル sales.ini の値が足りません（3 つ必要ですが %1 つしかありません）。")
                .arg(values.size()));
    session.first_entry = values.at(0);
    session.db_kind = values.at(1);
    session.database_name = values.at(2);
}

void write_sales_ini(const QString& folder, const QString& first_entry, const QString& db_kind,
                     const QString& database_name) {
    // Written beside the old file and renamed over it only when every byte reached the disk, so a
    // full disk leaves the old settings whole. Unbuffered: a refused write fails at write(), not in
    // a flush whose failure commit() might not see.
    const QByteArray bytes = write_sequential_line({first_entry, db_kind, database_name}).toUtf8();
    QSaveFile file(QDir(folder).filePath(kIniName));
    const QString kept = QStringLiteral("\n（設定は書き換えていません。元の sales.ini のままです）");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw StartupError(QStringLiteral("sales.ini を書き込めません: %1").arg(file.errorString()) + kept);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();  // the destructor removes the temporary file
        throw StartupError(QStringLiteral("sales.ini を書き込めません: %1").arg(reason) + kept);
    }
    if (!file.commit())
        throw StartupError(QStringLiteral("sales.ini を書き込めません: %1").arg(file.errorString()) + kept);
}

void load_startup_data(Session& session, StartPurpose purpose) {
    Database& db = *session.db;
    db.open(session.db_kind, session.database_name, session.program_folder);
    upgrade_on_open(session);
    // By the clock that stamped the rows, never the session's (which --as-of fixes).
    if (purpose == StartPurpose::Work)
        purge_deleted_rows(db, deleted_rows_keep_days(db));

    const ResultTable employees = db.query_rows(QStringLiteral("select 社員id,社員 from 社員"), 2);
    session.employee_names.clear();
    for (int i = 1; i <= employees.row_count(); ++i)
        session.employee_names << employees(1, i);

    const ResultTable company = db.query_rows(QStringLiteral("select * from 自社情報"), 15);
    session.company_settings = QStringList(16, QString());
    session.company_key.clear();
    if (company.row_count() >= 1) {
        session.company_key = company(0, 1);
        for (int i = 1; i <= 14; ++i)
            session.company_settings[i] = company(i, 1);
    }
    session.tax_rate = session.company_settings.at(1);

    const ResultTable items =
        db.query_rows(QStringLiteral("select * from テーブル項目 order by table_id"), 11);
    session.table_items.clear();
    for (int i = 1; i <= items.row_count(); ++i) {
        TableItem item;
        item.table_name = items(1, i);
        item.field_count = items(2, i).toInt();
        item.key_field = items(3, i);
        for (int j = 3; j <= 10; ++j)
            item.field_names << items(j, i);
        session.table_items << item;
    }
}

void start_session(Session& session, StartPurpose purpose) {
    read_sales_ini(session);
    log_startup_facts(sales_version_text(), session.db_kind, session.database_name, session.program_folder);
    const QString& kind = session.db_kind;
    if (kind != QLatin1String("Jet") && kind != QLatin1String("Mysql") && kind != QLatin1String("Mssql"))
        throw StartupError(QStringLiteral("sales.ini のデータベースの種類「%1」は使えません。\n"
                                          "Jet、Mysql、Mssql のいずれかを指定してください。")
                               .arg(kind));
    try {
        load_startup_data(session, purpose);
    } catch (const DatabaseError& e) {
        throw StartupError(QStringLiteral("データベースを開けませんでした。\n%1").arg(e.message()));
    }
    // The company row's password never reaches the log, whatever message would carry it.
    keep_out_of_log(session.company_setting(11));
}
