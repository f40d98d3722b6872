#pragma once

#include "db/database.h"

// Makes a database on the MariaDB server anew and empty, in the character set of the program's
// tables, and makes it the connection's current one. Without a name, the data source's own database.
// Returns the name. For the integration tests and the benchmarks that run on a server.
inline QString fresh_mysql_database(Database& admin, QString name = QString()) {
    if (name.isEmpty())
        name = admin.query_rows(QStringLiteral("select database()"), 1)(0, 1);
    const QString quoted = QLatin1Char('`') + name + QLatin1Char('`');
    admin.execute_sql(QStringLiteral("drop database if exists ") + quoted);
    admin.execute_sql(QStringLiteral("create database ") + quoted +
                      QStringLiteral(" default character set utf8mb4 collate utf8mb4_general_ci"));
    admin.execute_sql(QStringLiteral("use ") + quoted);
    return name;
}
