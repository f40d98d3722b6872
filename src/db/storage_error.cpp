#include "db/storage_error.h"

#include <QStringList>

namespace {

const QString kFullHead = QStringLiteral("ディスクの空きが足りません");
const QString kIoHead = QStringLiteral("ディスクの読み書きに失敗しました");

bool contains_any(const QString& text, const QStringList& parts) {
    for (const QString& p : parts)
        if (text.contains(p, Qt::CaseInsensitive))
            return true;
    return false;
}

}  // namespace

QString storage_error_message(const QString& backend_message) {
    if (backend_message.startsWith(kFullHead) || backend_message.startsWith(kIoHead))
        return backend_message;  // explained already
    // SQLite: "database or disk is full"; MariaDB: "The table '…' is full", "Disk full", errno 28;
    // SQL Server: "Could not allocate space", "The transaction log for database '…' is full".
    static const QStringList full{QStringLiteral("database or disk is full"),
                                  QStringLiteral("disk full"),
                                  QStringLiteral("No space left on device"),
                                  QStringLiteral("Errcode: 28"),
                                  QStringLiteral("errno: 28"),
                                  QStringLiteral("Could not allocate space"),
                                  QStringLiteral("transaction log for database")};
    static const QStringList full_table{QStringLiteral("The table '")};
    // SQLite: "disk I/O error"; MariaDB: "Error writing file", "Error reading file"; SQL Server 823.
    static const QStringList io{QStringLiteral("disk I/O error"), QStringLiteral("Error writing file"),
                                QStringLiteral("Error reading file"), QStringLiteral("I/O error")};
    const bool table_full =
        contains_any(backend_message, full_table) && backend_message.contains(QStringLiteral("' is full"));
    if (table_full || contains_any(backend_message, full))
        return kFullHead +
               QStringLiteral("。空きを作ってから、もう一度実行してください。\n（%1）").arg(backend_message);
    if (contains_any(backend_message, io))
        return kIoHead + QStringLiteral(
                             "（入出力エラー）。ディスクや接続を確かめてから、もう一度実行して"
                             "ください。\n（%1）")
                             .arg(backend_message);
    return QString();
}

bool refusal_ends_transaction(const QString& message) {
    static const QStringList others{QStringLiteral("out of memory"), QStringLiteral("Deadlock"),
                                    QStringLiteral("interrupted")};
    return !storage_error_message(message).isEmpty() || contains_any(message, others);
}
