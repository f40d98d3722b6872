#include "upgrade_checks.h"

#include <QtTest>

#include "customers/customer_store.h"
#include "db/database.h"
#include "db/schema_upgrade.h"

namespace upgrade_checks {

void check_two_pcs_upgrade_at_once(Database& first, Database& second) {
    QCOMPARE(stored_schema_version(second), 0);
    bool first_upgraded = false;
    int asked = 0;
    bool second_upgraded = true;
    try {
        second_upgraded = upgrade_schema(second, [&](int from, int) {
            ++asked;
            QCOMPARE(from, 0);
            first_upgraded = upgrade_schema(first);
        });
    } catch (const DatabaseError& e) {
        QFAIL(qPrintable(QStringLiteral("the second PC's upgrade failed: ") + e.message()));
    }
    QCOMPARE(asked, 1);
    QVERIFY(first_upgraded);
    QVERIFY(!second_upgraded);  // nothing was left to do
    QCOMPARE(stored_schema_version(first), current_schema_version());
    QCOMPARE(stored_schema_version(second), current_schema_version());
    QCOMPARE(second.query_rows(QStringLiteral("select count(*) from sales_schema"), 1)(0, 1),
             QStringLiteral("1"));
    // Both work on the upgraded tables.
    QStringList fields(kCustomerFieldCount);
    fields[0] = QStringLiteral("カタオカ電機");
    fields[1] = QStringLiteral("かたおかでんき");
    insert_customer(second, fields);
    QCOMPARE(search_customer_ids(first, QStringLiteral("ｶﾀｵｶ")).size(), 1);
}

void check_version_table_without_row(Database& db) {
    db.execute_sql(QStringLiteral("create table sales_schema (version int)"));
    QCOMPARE(stored_schema_version(db), 0);
    QVERIFY(upgrade_schema(db));
    QCOMPARE(stored_schema_version(db), current_schema_version());
    QVERIFY(!upgrade_schema(db));
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from sales_schema"), 1)(0, 1),
             QStringLiteral("1"));
}

}  // namespace upgrade_checks
