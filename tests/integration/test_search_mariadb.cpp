// The partial search, the folded reading search and the duplicate check on a real MariaDB server
// give what the embedded file gives: one table run on both back-ends, every write path keeping the
// copies and the search index in step, changes by a copy of the program that does not know them,
// random texts against a plain scan, and several PCs saving customers at once.
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <thread>

#include "app/session.h"
#include "app/startup.h"
#include "customers/customer_copies.h"
#include "customers/customer_store.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/text_fold.h"
#include "mysql_dsn.h"
#include "search_checks.h"
#include "test_folder.h"
#include "mysql_scratch.h"

class TestSearchMariaDb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void searches_agree_on_both_back_ends_data();
    void searches_agree_on_both_back_ends();
    void write_paths_keep_the_index_data();
    void write_paths_keep_the_index();
    void older_copy_changes_are_taken_in_at_start_data();
    void older_copy_changes_are_taken_in_at_start();
    void random_texts_match_a_plain_scan();
    void several_pcs_save_at_once();

private:
    // A session on a new, empty database of the server.
    std::unique_ptr<Session> fresh_session();
    QString m_dsn;
    QString m_database;
    QTemporaryDir m_folder;
    std::unique_ptr<Database> m_admin;
    std::unique_ptr<Session> m_shared;   // the search table's customers on the server
    std::unique_ptr<TestFolder> m_file;  // and on the embedded file
};

void TestSearchMariaDb::initTestCase() {
    SALES_REQUIRE_MYSQL_DSN(m_dsn);
    m_database = QStringLiteral("sales_search_%1").arg(QCoreApplication::applicationPid());
    m_admin = std::make_unique<Database>();
    m_admin->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    m_shared = fresh_session();
    search_checks::add_customers(*m_shared->db);
    m_file = std::make_unique<TestFolder>();
    search_checks::add_customers(m_file->db());
}

void TestSearchMariaDb::cleanupTestCase() {
    m_shared.reset();
    if (m_admin)
        m_admin->execute_sql(QStringLiteral("drop database if exists `") + m_database + QLatin1Char('`'));
}

std::unique_ptr<Session> TestSearchMariaDb::fresh_session() {
    m_shared.reset();
    const QString name = QLatin1Char('`') + fresh_mysql_database(*m_admin, m_database) + QLatin1Char('`');
    auto s = std::make_unique<Session>();
    s->clock.fix(QDate(2026, 12, 8));
    s->db->open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    s->db->execute_sql(QStringLiteral("use ") + name);
    create_schema(*s->db);
    return s;
}

void TestSearchMariaDb::searches_agree_on_both_back_ends_data() {
    search_checks::add_search_rows();
}

void TestSearchMariaDb::searches_agree_on_both_back_ends() {
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    if (!m_shared) {
        m_shared = fresh_session();
        search_checks::add_customers(*m_shared->db);
    }
    expected.sort();
    QCOMPARE(search_checks::found(m_file->db(), kind, typed), expected);
    QCOMPARE(search_checks::found(*m_shared->db, kind, typed), expected);
}

void TestSearchMariaDb::write_paths_keep_the_index_data() {
    search_checks::add_write_path_rows();
}

void TestSearchMariaDb::write_paths_keep_the_index() {
    QFETCH(QString, path);
    std::unique_ptr<Session> s = fresh_session();
    search_checks::check_write_path(*s, path);
    // Every customer is in the index with the text it holds, and nothing else is.
    const ResultTable stale = s->db->query_rows(
        QStringLiteral("select count(*) from 顧客 c left join 顧客検索済 i on i.顧客ID=c.顧客ID "
                       "where i.文字列 is null or i.文字列<>c.検索文字列"),
        1);
    QCOMPARE(stale(0, 1), QStringLiteral("0"));
    QCOMPARE(s->db->query_rows(QStringLiteral("select count(*) from 顧客検索済"), 1)(0, 1),
             s->db->query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1));
}

void TestSearchMariaDb::older_copy_changes_are_taken_in_at_start_data() {
    search_checks::add_older_copy_rows();
}

void TestSearchMariaDb::older_copy_changes_are_taken_in_at_start() {
    QFETCH(QString, change);
    std::unique_ptr<Session> s = fresh_session();
    search_checks::add_customers(*s->db);
    repair_customer_copies(*s->db);  // a start of this version before the older copy's change
    search_checks::write_as_older_copy(*s->db, change);
    QVERIFY(repair_customer_copies(*s->db) >= 0);  // the next start
    search_checks::check_after_start(*s->db, change);
    QCOMPARE(s->db->query_rows(QStringLiteral("select count(*) from 顧客検索済"), 1)(0, 1),
             s->db->query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1));
}

// Texts of a few characters that often repeat, so that pieces recur at many places; every search
// of the index gives the keys a plain scan of the folded texts gives.
void TestSearchMariaDb::random_texts_match_a_plain_scan() {
    std::unique_ptr<Session> s = fresh_session();
    Database& db = *s->db;
    QRandomGenerator random(20261208);
    const QString alphabet = QStringLiteral("アあかカｶﾞ゛ー0１-a%_'山田 ");
    auto text = [&](int most) {
        QString t;
        const int n = int(random.bounded(most + 1));
        for (int i = 0; i < n; ++i)
            t += alphabet.at(int(random.bounded(int(alphabet.size()))));
        return t;
    };
    QStringList ids;
    for (int i = 0; i < 300; ++i) {
        QStringList fields(kCustomerFieldCount);
        fields[0] = text(8);
        fields[5] = text(12);
        fields[6] = text(6);
        ids << insert_customer(db, fields);
    }
    // Some change again and some go, so that entries leave the index too.
    for (int i = 0; i < 60; ++i) {
        QStringList fields(kCustomerFieldCount);
        fields[0] = text(8);
        fields[5] = text(12);
        update_customer(db, fields, ids.at(int(random.bounded(int(ids.size())))));
    }
    for (int i = 0; i < 20; ++i)
        delete_customer(db, ids.at(int(random.bounded(int(ids.size())))));
    const ResultTable rows = db.query_rows(QStringLiteral("select 顧客ID,検索文字列 from 顧客"), 2);
    for (int round = 0; round < 300; ++round) {
        const QString typed = text(4);
        const QStringList terms = partial_search_terms(typed);
        if (terms.isEmpty() || terms.first().size() < kPartialSearchMinimum)
            continue;
        QVector<QString> expected;
        for (int r = 1; r <= rows.row_count(); ++r)
            for (const QString& term : terms)
                if (rows(1, r).contains(term)) {
                    expected << rows(0, r);
                    break;
                }
        std::sort(expected.begin(), expected.end(),
                  [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
        QVERIFY2(partial_search_customer_ids(db, typed) == expected, qPrintable(typed));
    }
}

// Four PCs add and change customers side by side (keys in one block of the index) at the same time:
// nothing fails, and every customer is found by its own text and only by it.
void TestSearchMariaDb::several_pcs_save_at_once() {
    std::unique_ptr<Session> first = fresh_session();
    constexpr int kPcs = 4;
    constexpr int kCustomers = 25;
    QStringList failures(kPcs);
    std::vector<std::thread> pcs;
    for (int pc = 0; pc < kPcs; ++pc) {
        pcs.emplace_back([&, pc] {
            try {
                Database db;
                db.open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
                db.execute_sql(QStringLiteral("use `") + m_database + QLatin1Char('`'));
                for (int i = 0; i < kCustomers; ++i) {
                    QStringList fields(kCustomerFieldCount);
                    fields[0] = QStringLiteral("共通商事 第%1課%2").arg(pc).arg(i);
                    fields[5] = QStringLiteral("旧住所%1x%2号").arg(pc).arg(i);
                    const QString id = insert_customer(db, fields);
                    fields[5] = QStringLiteral("新住所%1x%2号").arg(pc).arg(i);
                    if (update_customer(db, fields, id) != WriteCheck::Clear)
                        throw DatabaseError(QStringLiteral("not saved"));
                }
            } catch (const DatabaseError& e) {
                failures[pc] = e.message();
            }
        });
    }
    for (std::thread& t : pcs)
        t.join();
    for (const QString& failure : failures)
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    Database& db = *first->db;
    QCOMPARE(partial_search_customer_ids(db, QStringLiteral("共通商事")).size(), kPcs * kCustomers);
    QCOMPARE(partial_search_customer_ids(db, QStringLiteral("旧住所")).size(), 0);
    for (int pc = 0; pc < kPcs; ++pc)
        for (int i = 0; i < kCustomers; ++i)
            QCOMPARE(partial_search_customer_ids(db, QStringLiteral("新住所%1x%2号").arg(pc).arg(i)).size(),
                     1);
}

QTEST_GUILESS_MAIN(TestSearchMariaDb)
#include "test_search_mariadb.moc"
