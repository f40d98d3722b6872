#include "app/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/startup.h"
#include "db/schema.h"

void init_program_folder(const InitOptions& options, const std::function<void(const QString&)>& report) {
    const QDir folder(options.folder);
    const QString& kind = options.db_kind;
    if (kind != QLatin1String("Jet") && kind != QLatin1String("Mysql") && kind != QLatin1String("Mssql"))
        throw StartupError(
            QStringLiteral("データベースの種類「%1」は使えません（Jet、Mysql、Mssql）").arg(kind));
    const QString name =
        options.database_name.isEmpty()
            ? (kind == QLatin1String("Jet") ? QStringLiteral("sales.mdb") : QStringLiteral("sales"))
            : options.database_name;
    if (QFileInfo::exists(folder.filePath(QStringLiteral("sales.ini"))))
        throw StartupError(QStringLiteral("このフォルダには既に sales.ini があります: ") +
                           QDir::toNativeSeparators(folder.absolutePath()));

    Database db;
    const bool embedded = kind == QLatin1String("Jet");
    const QString file = folder.filePath(name);
    if (embedded) {
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            throw StartupError(QStringLiteral("データベースファイル名にフォルダは指定できません: ") + name);
        if (QFileInfo::exists(file))
            throw StartupError(QStringLiteral("データベースファイルが既にあります: ") +
                               QDir::toNativeSeparators(file));
        db.open_sqlite_file(file, true);
    } else {
        db.open(kind, name, options.folder);
    }
    try {
        if (report)
            report(QStringLiteral("テーブルを作成しています"));
        create_schema(db);
        if (options.demo) {
            if (report)
                report(QStringLiteral("サンプルデータを作成しています"));
            generate_demo_data(db, options.demo_options, [&](int done, int total) {
                if (report)
                    report(QStringLiteral("  %1 / %2").arg(done).arg(total));
            });
        }
    } catch (...) {
        db.close();
        if (embedded) {
            QFile::remove(file);
            QFile::remove(file + QStringLiteral("-wal"));
            QFile::remove(file + QStringLiteral("-shm"));
        }
        throw;
    }
    db.close();

    folder.mkpath(QStringLiteral("mail"));
    folder.mkpath(QStringLiteral("help"));
    if (!options.help_source.isEmpty() && QFileInfo::exists(options.help_source)) {
        const QString target = folder.filePath(QStringLiteral("help/index.html"));
        QFile::remove(target);
        QFile::copy(options.help_source, target);
    }
    write_sales_ini(options.folder, QStringLiteral("営業手帳"), kind, name);
}
