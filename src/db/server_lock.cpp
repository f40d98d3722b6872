#include "db/server_lock.h"

#include "db/database.h"
#include "db/dialect.h"

ServerLock::ServerLock(Database& db, const QString& name, int seconds, const QString& busy_message) : m_db(db) {
    if (db.dialect() != Dialect::MySql)
        return;
    const QString lock_name = QStringLiteral("concat(%1, database())").arg(sql_text(name + QLatin1Char('.')));
    const QString got =
        db.query_rows(QStringLiteral("select get_lock(%1, %2)").arg(lock_name).arg(seconds), 1)(0, 1);
    if (got != QLatin1String("1"))
        throw DatabaseError(busy_message);
    m_name = lock_name;
}

ServerLock::~ServerLock() {
    if (m_name.isEmpty())
        return;
    try {
        m_db.query_rows(QStringLiteral("select release_lock(%1)").arg(m_name), 1);
    } catch (const DatabaseError&) {
        // The server releases it with the connection anyway.
    }
}
