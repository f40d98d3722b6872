#include "sync/office.h"

#include <QDir>

#include "db/database.h"

QString office_unreachable_message(const QString& reason) {
    return QStringLiteral(
               "事務所のデータベースに接続できません。\n%1\n\n"
               "ネットワークにつないでから、もう一度同期してください。"
               "このノートPCでは、このまま作業を続けられます（変更は保存され、次の同期で送られます）。")
        .arg(reason);
}

void open_office(Database& office, const CopyInfo& info) {
    try {
        if (info.office_kind == QLatin1String("Jet")) {
            // The office's file, reached by its path (a file share mounted on the laptop).
            office.open(info.office_kind, info.office_database, info.office_folder);
        } else {
            office.open(info.office_kind, info.office_database, QDir::currentPath());
        }
    } catch (const DatabaseError& e) {
        throw OfficeUnreachable(office_unreachable_message(e.message()));
    }
    if (!office.is_open())
        throw OfficeUnreachable(office_unreachable_message(
            QStringLiteral("データベースの種類「%1」は使えません。").arg(info.office_kind)));
}
