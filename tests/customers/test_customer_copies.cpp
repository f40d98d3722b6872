// The customer's copies and match keys on the embedded file: one table of searches and duplicate
// checks (the MariaDB integration test runs the same table), every write path keeping them in step,
// and the changes of a copy of the program that does not know them.
#include <QtTest>

#include "app/startup.h"
#include "customers/customer_copies.h"
#include "search_checks.h"
#include "test_folder.h"

class TestCustomerCopies : public QObject {
    Q_OBJECT
private slots:
    void searches_and_checks_data();
    void searches_and_checks();
    void write_paths_keep_the_copies_data();
    void write_paths_keep_the_copies();
    void older_copy_changes_are_taken_in_data();
    void older_copy_changes_are_taken_in();
};

void TestCustomerCopies::searches_and_checks_data() {
    search_checks::add_search_rows();
}

void TestCustomerCopies::searches_and_checks() {
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    TestFolder folder;
    search_checks::add_customers(folder.db());
    expected.sort();
    QCOMPARE(search_checks::found(folder.db(), kind, typed), expected);
    // The same from a file whose trigram index is still as the first release made it (with the
    // lengths, folding case itself): the upgrade makes it anew from the stored texts.
    for (const QString& s : {QStringLiteral("drop table 顧客検索_語"), QStringLiteral("drop table 顧客検索"),
                             QStringLiteral("create virtual table 顧客検索 using fts5(検索文字列, content='顧客', "
                                            "content_rowid='顧客ID', tokenize='trigram')"),
                             QStringLiteral("insert into 顧客検索(顧客検索) values('rebuild')"),
                             QStringLiteral("create virtual table 顧客検索_語 using fts5vocab(顧客検索, 'row')"),
                             QStringLiteral("update sales_schema set version=6")})
        folder.exec(s);
    Session upgraded;
    upgraded.program_folder = folder.path();
    start_session(upgraded);
    QCOMPARE(search_checks::found(*upgraded.db, kind, typed), expected);
}

void TestCustomerCopies::write_paths_keep_the_copies_data() {
    search_checks::add_write_path_rows();
}

void TestCustomerCopies::write_paths_keep_the_copies() {
    QFETCH(QString, path);
    TestFolder folder;
    search_checks::check_write_path(folder.session(), path);
}

void TestCustomerCopies::older_copy_changes_are_taken_in_data() {
    search_checks::add_older_copy_rows();
}

void TestCustomerCopies::older_copy_changes_are_taken_in() {
    QFETCH(QString, change);
    TestFolder folder;
    search_checks::add_customers(folder.db());
    search_checks::write_as_older_copy(folder.db(), change);
    if (change.startsWith(QLatin1String("change"))) {
        // The file clears the copies of the changed fields at once: the old values find nothing.
        QCOMPARE(search_checks::found(folder.db(), "partial", "横浜"), QStringList{});
        QCOMPARE(search_checks::found(folder.db(), "check", "tel:045-111-2222"), QStringList{});
        // What the older copy wrote anew is searched at once.
        QCOMPARE(search_checks::found(folder.db(), "partial", "仙台"),
                 change == QLatin1String("change") ? QStringList{} : QStringList{"片山工業"});
    }
    // The next start recomputes them.
    Session next;
    next.program_folder = folder.path();
    start_session(next);
    search_checks::check_after_start(*next.db, change);
}

QTEST_MAIN(TestCustomerCopies)
#include "test_customer_copies.moc"
