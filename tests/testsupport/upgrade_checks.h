#pragma once

#include <QtTest>

#include "db/database.h"
#include "db/schema_upgrade.h"

// Schema upgrade checks shared by the embedded-file test and the MariaDB integration test, on a
// database holding the tables as made before the first step.
namespace upgrade_checks {

// Two PCs open the old database at once: the second has read the version when the first upgrades
// it, and then runs no step again (no "duplicate column name") and starts.
inline void check_two_pcs_upgrade_at_once(Database& first, Database& second) {
    bool first_upgraded = false;
    QVERIFY(!upgrade_schema(second, [&](int, int) { first_upgraded = upgrade_schema(first); }));
    QVERIFY(first_upgraded);
    QCOMPARE(stored_schema_version(second), current_schema_version());
    QCOMPARE(second.query_rows(QStringLiteral("select count(*) from sales_schema"), 1)(0, 1),
             QStringLiteral("1"));
}

// A version table left without its row (a first run cut short where each DDL statement commits on
// its own) is brought up to the current version, and the next opening finds nothing to do.
inline void check_version_table_without_row(Database& db) {
    db.execute_sql(QStringLiteral("create table sales_schema (version int)"));
    QVERIFY(upgrade_schema(db));
    QCOMPARE(stored_schema_version(db), current_schema_version());
    QVERIFY(!upgrade_schema(db));
}

}  // namespace upgrade_checks
