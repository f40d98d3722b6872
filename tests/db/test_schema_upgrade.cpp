// The schema upgrade of an embedded file opened by two PCs at once, and of a version table without
// its row. The same checks run against MariaDB in tests/integration/test_schema_upgrade_mariadb.cpp.
#include <QTemporaryDir>
#include <QtTest>

#include "db/database.h"
#include "db/schema.h"
#include "upgrade_checks.h"

class TestSchemaUpgrade : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void two_pcs_upgrade_at_once();
    void version_table_without_row();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Database> m_first;
    std::unique_ptr<Database> m_second;
};

// A file with the tables as made before the first step, open on two connections.
void TestSchemaUpgrade::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    const QString path = m_folder->filePath(QStringLiteral("sales.mdb"));
    m_first = std::make_unique<Database>();
    m_first->open_sqlite_file(path, true);
    for (const QString& s : schema_statements(Dialect::Sqlite) + seed_statements())
        m_first->execute_sql(s);
    m_second = std::make_unique<Database>();
    m_second->open_sqlite_file(path, false);
}

void TestSchemaUpgrade::cleanup() {
    m_second.reset();
    m_first.reset();
    m_folder.reset();
}

void TestSchemaUpgrade::two_pcs_upgrade_at_once() {
    upgrade_checks::check_two_pcs_upgrade_at_once(*m_first, *m_second);
}

void TestSchemaUpgrade::version_table_without_row() {
    upgrade_checks::check_version_table_without_row(*m_first);
}

QTEST_GUILESS_MAIN(TestSchemaUpgrade)
#include "test_schema_upgrade.moc"
