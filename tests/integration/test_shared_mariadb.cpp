// Several people on one database at once, on the embedded file and on the MariaDB server of
// tests/integration/mariadb_server.sh: each client is a session with a connection of its own.
#include <QTest>
#include <functional>
#include <memory>
#include <thread>

#include "app/startup.h"
#include "customers/customer_store.h"
#include "db/schema.h"
#include "mail/mail_templates.h"
#include "masters/company_settings.h"
#include "masters/master_records.h"
#include "records/order_entry.h"
#include "records/record_list.h"
#include "test_folder.h"
#include "ui/common/save_conflict.h"
#include "mysql_scratch.h"

namespace {

const QString kInitial = QStringLiteral("初期");
const QString kOther = QStringLiteral("他の担当者");
const QString kMine = QStringLiteral("自分");
const QString kGone = QStringLiteral("(なし)");

using Save = std::function<WriteCheck(Session&, const QString& key, const StoredRow*, StoredRow*)>;

// One screen's save (or delete) of a shown row; the test writes and reads `column` of the row itself.
struct ScreenSave {
    QString table, key_column, column, insert;  // insert stores a row whose column holds kInitial
    Save save;                                  // writes kMine into column, or deletes
    bool deletes = false;
    QString address(const QString& key) const {
        return table == QStringLiteral("テンプレート") ? sql_text(key) : key;
    }
};

QString one(Session& s, const QString& statement) {
    const ResultTable rows = s.db->query_rows(statement, 1);
    return rows.row_count() > 0 ? rows(0, 1) : kGone;
}

const TableItem& visit_item(Session& s) {
    for (const TableItem& item : s.table_items)
        if (item.table_name == QStringLiteral("訪問"))
            return item;
    qFatal("no 訪問 table item");
}

// The edit boxes as the screen shows them (fields after the key), one of them typed over.
QStringList boxes(const StoredRow* shown, int count, int typed) {
    QStringList texts = row_texts(*shown).mid(1, count);
    texts[typed] = kMine;
    return texts;
}

ScreenSave screen_save(const QString& name) {
    const QString initial = sql_text(kInitial);
    const bool deletes = name.endsWith(QStringLiteral("削除"));
    if (name.startsWith(QStringLiteral("顧客")))
        return {"顧客",
                "顧客ID",
                "顧客名",
                "insert into 顧客 (顧客名,顧客名かな) values(" + initial + ",'か')",
                [deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
                    return deletes ? delete_customer(*s.db, key, QString(), shown, stored)
                                   : update_customer(*s.db, boxes(shown, kCustomerFieldCount, 0), key, shown,
                                                     stored);
                },
                deletes};
    if (name.startsWith(QStringLiteral("履歴")))
        return {"訪問",
                "訪問ID",
                "名称",
                "insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(1,'山田','2026/12/01'," + initial +
                    ",'')",
                [deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
                    const TableItem& item = visit_item(s);
                    WriteCheck check = WriteCheck::Clear;
                    if (deletes) {
                        delete_record(*s.db, item, key, QString(), shown, stored, &check);
                    } else {
                        QStringList texts =
                            boxes(shown, item.field_count - 1, item.field_names.indexOf("名称") - 1);
                        update_record(*s.db, item, key, texts, QString(), QDate(2026, 12, 8), shown, stored,
                                      &check);
                    }
                    return check;
                },
                deletes};
    if (name.startsWith(QStringLiteral("社員")) || name.startsWith(QStringLiteral("商品"))) {
        const MasterKind kind =
            name.startsWith(QStringLiteral("社員")) ? MasterKind::Employees : MasterKind::Goods;
        const MasterTable& t = master_table(kind);
        const int box = int(t.numeric.indexOf(false));  // the first text box
        QStringList values(4, QStringLiteral("'1'"));
        values[box] = initial;
        return {
            t.table,
            t.key_column,
            t.columns.at(box),
            QStringLiteral("insert into %1 (%2) values(%3)")
                .arg(t.table, t.columns.join(u','), values.join(u',')),
            [kind, box, deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
                if (deletes)
                    return delete_master(*s.db, kind, key, QString(), shown, stored);
                WriteCheck check = WriteCheck::Clear;
                update_master(*s.db, kind, key, boxes(shown, 4, box), shown, stored, &check);
                return check;
            },
            deletes};
    }
    if (name.startsWith(QStringLiteral("テンプレート")))
        return {"テンプレート",
                "名称",
                "本文",
                "insert into テンプレート (名称,本文) values(%1," + initial + ")",
                [deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
                    if (deletes)
                        return delete_template(*s.db, key, QString(), shown, stored);
                    WriteCheck check = WriteCheck::Clear;
                    save_template(*s.db, key, key, kMine, shown, stored, &check);
                    return check;
                },
                deletes};
    return {"自社情報", "id", "会社名", "update 自社情報 set 会社名=" + initial,
            [](Session& s, const QString&, const StoredRow* shown, StoredRow* stored) {
                WriteCheck check = WriteCheck::Clear;
                const QStringList fields = boxes(shown, kCompanyFieldCount, 1);
                save_company_settings(s, fields, business_type_of(s.company_setting(14)), shown, stored,
                                      &check);
                return check;
            }};
}

}  // namespace

class TestSharedDatabase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void concurrent_orders_keep_their_lines_data();
    void concurrent_orders_keep_their_lines();
    void save_of_a_row_another_pc_changed_data();
    void save_of_a_row_another_pc_changed();

private:
    // A client of the back-end: a session with its own connection.
    std::unique_ptr<Session> client(const QString& backend);
    void fresh(const QString& backend);

    QString m_dsn;
    bool m_mariadb_ready = false;
    std::unique_ptr<TestFolder> m_file;
    QTemporaryDir m_folder;
};

void TestSharedDatabase::initTestCase() {
    m_dsn = qEnvironmentVariable("SALES_TEST_MYSQL_DSN");
    if (m_dsn.isEmpty() && qEnvironmentVariable("SALES_SKIP_INTEGRATION") != QLatin1String("1"))
        QFAIL(
            "SALES_TEST_MYSQL_DSN is not set: run ./test.sh, or eval \"$(tests/integration/mariadb_server.sh "
            "start)\"; set SALES_SKIP_INTEGRATION=1 to skip.");
}

void TestSharedDatabase::cleanupTestCase() {
    if (!m_dsn.isEmpty())
        fresh(QStringLiteral("MariaDB"));  // the data source's database left as the server script made it
}

std::unique_ptr<Session> TestSharedDatabase::client(const QString& backend) {
    auto s = std::make_unique<Session>();
    s->clock.fix(QDate(2026, 12, 8));
    if (backend == QLatin1String("MariaDB")) {
        s->program_folder = m_folder.path();
        s->db_kind = QStringLiteral("Mysql");
        s->database_name = m_dsn;
    } else {
        s->program_folder = m_file->path();
        s->db_kind = QStringLiteral("Jet");
        s->database_name = QStringLiteral("sales.mdb");
    }
    load_startup_data(*s);
    return s;
}

// A new database with the schema and seed rows.
void TestSharedDatabase::fresh(const QString& backend) {
    if (backend != QLatin1String("MariaDB")) {
        m_file = std::make_unique<TestFolder>();
        return;
    }
    if (m_dsn.isEmpty())
        QSKIP("SALES_SKIP_INTEGRATION=1: MariaDB rows skipped on request");
    Database admin;
    admin.open(QStringLiteral("Mysql"), m_dsn, m_folder.path());
    fresh_mysql_database(admin);
    create_schema(admin);
}

void TestSharedDatabase::concurrent_orders_keep_their_lines_data() {
    QTest::addColumn<QString>("backend");
    QTest::newRow("embedded file") << "file";
    QTest::newRow("MariaDB") << "MariaDB";
}

// 8 PCs save 100 orders of two lines each at the same time: every line under its own order.
void TestSharedDatabase::concurrent_orders_keep_their_lines() {
    QFETCH(QString, backend);
    fresh(backend);
    // Orders are saved only for a customer in the register.
    client(backend)->db->execute_sql(
        QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values('山田','やまだ')"));
    constexpr int kClients = 8;
    constexpr int kOrders = 100;
    QStringList failures(kClients);
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            try {
                std::unique_ptr<Session> s = client(backend);
                for (int i = 0; i < kOrders; ++i) {
                    // The order's title and its lines' 顧客名 name the same client and order.
                    const QString mark = QStringLiteral("c%1-%2").arg(c).arg(i);
                    OrderForm form{QStringLiteral("1"),
                                   mark,
                                   QStringLiteral("山田"),
                                   QStringLiteral("2026/12/08"),
                                   mark,
                                   QStringLiteral("300"),
                                   QStringLiteral("10"),
                                   QStringLiteral("0"),
                                   {}};
                    for (int l = 0; l < 2; ++l)
                        form.lines.push_back({QStringLiteral("1"), QStringLiteral("品"), QStringLiteral("1"),
                                              QStringLiteral("150")});
                    const QStringList messages = save_order(*s->db, form, s->clock.today());
                    if (!messages.isEmpty())
                        throw DatabaseError(messages.join(u' '));
                }
            } catch (const DatabaseError& e) {
                failures[c] = e.message();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const QString& failure : failures)
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    std::unique_ptr<Session> s = client(backend);
    QCOMPARE(one(*s, QStringLiteral("select count(*) from 受注")), QString::number(kClients * kOrders));
    QCOMPARE(one(*s, QStringLiteral("select count(*) from 受注明細")),
             QString::number(kClients * kOrders * 2));
    QCOMPARE(one(*s, QStringLiteral("select count(*) from 受注明細 d left join 受注 o on d.受注ID=o.受注ID "
                                    "where o.名称 is null or o.名称<>d.顧客名")),
             QStringLiteral("0"));
    QCOMPARE(one(*s, QStringLiteral("select count(*) from 受注 o where (select count(*) from 受注明細 d "
                                    "where d.受注ID=o.受注ID)<>2")),
             QStringLiteral("0"));
}

void TestSharedDatabase::save_of_a_row_another_pc_changed_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("other");  // what the other PC did after the row was shown
    QTest::addColumn<bool>("answer");    // to the question, when asked
    const QStringList screens{"顧客 変更",         "顧客 削除",    "履歴 更新", "履歴 削除",
                              "社員 変更",         "社員 削除",    "商品 変更", "テンプレート 保存",
                              "テンプレート 削除", "会社情報 保存"};
    for (const char* backend : {"file", "MariaDB"}) {
        for (const QString& screen : screens) {
            auto row = [&](const char* other, bool answer, const char* tag) {
                QTest::addRow("%s %s %s", backend, qPrintable(screen), tag)
                    << QString::fromLatin1(backend) << screen << QString::fromLatin1(other) << answer;
            };
            row("nothing", false, "untouched");
            row("changed", true, "changed, yes");
            row("changed", false, "changed, no");
            row("trailing space", false, "trailing space, no");
            row("deleted", true, "deleted");
        }
    }
}

void TestSharedDatabase::save_of_a_row_another_pc_changed() {
    QFETCH(QString, backend);
    QFETCH(QString, screen);
    QFETCH(QString, other);
    QFETCH(bool, answer);
    if (backend != QLatin1String("MariaDB") || !m_mariadb_ready)
        fresh(backend);
    m_mariadb_ready = m_mariadb_ready || backend == QLatin1String("MariaDB");
    const ScreenSave save = screen_save(screen);
    std::unique_ptr<Session> mine = client(backend);
    std::unique_ptr<Session> theirs = client(backend);
    // Employee names are unique: on the shared server an earlier row's saved name would refuse this one.
    if (save.table == master_table(MasterKind::Employees).table)
        mine->db->execute_sql(QStringLiteral("delete from %1 where %2=%3")
                                  .arg(save.table, save.column, sql_text(kMine)));
    // Templates are addressed by their title, one of its own per row.
    const QString title = QStringLiteral("案内 ") + QString::fromUtf8(QTest::currentDataTag());
    const bool by_title = save.table == QStringLiteral("テンプレート");
    mine->db->execute_sql(by_title ? save.insert.arg(sql_text(title)) : save.insert);
    const QString key =
        by_title ? title
        : save.table == QStringLiteral("自社情報")
            ? load_company(*mine).values.value(0)
            : one(*mine, QStringLiteral("select max(%1) from %2").arg(save.key_column, save.table));
    const QString where =
        QStringLiteral(" from %1 where %2=%3").arg(save.table, save.key_column, save.address(key));
    const auto value = [&] { return one(*theirs, QStringLiteral("select ") + save.column + where); };
    // What the screen read when it showed the row (the company screen also runs with it).
    StoredRow shown = save.table == QStringLiteral("自社情報")
                          ? load_company(*mine)
                          : read_stored_row(*mine->db, {save.table, save.key_column, save.address(key)});
    QVERIFY(shown.found);

    const QString update = QStringLiteral("update %1 set %2=").arg(save.table, save.column);
    if (other == QLatin1String("changed"))
        theirs->db->execute_sql(update + sql_text(kOther) +
                                where.mid(where.indexOf(QStringLiteral(" where"))));
    else if (other == QLatin1String("trailing space"))
        theirs->db->execute_sql(update + sql_text(kInitial + u' ') +
                                where.mid(where.indexOf(QStringLiteral(" where"))));
    else if (other == QLatin1String("deleted"))
        theirs->db->execute_sql(QStringLiteral("delete") + where);
    const QString before = value();

    QueuedPrompter prompter;
    prompter.answers = {answer};
    bool reloaded = false;
    const bool saved = save_shown_row(
        prompter, shown,
        [&](const StoredRow* s, StoredRow* stored) { return save.save(*mine, key, s, stored); },
        [&] { reloaded = true; });

    const QString after = value();
    const QString mine_value = save.deletes ? kGone : kMine;
    if (other == QLatin1String("nothing")) {
        // Saved exactly as before, with no question.
        QVERIFY(saved);
        QCOMPARE(prompter.questions, QStringList());
        QCOMPARE(after, mine_value);
    } else if (other == QLatin1String("deleted")) {
        QVERIFY(!saved);
        QCOMPARE(prompter.questions, QStringList());
        QCOMPARE(prompter.messages, QStringList{kDeletedByOtherMessage});
        QCOMPARE(after, kGone);  // nothing stored, nothing brought back
    } else {
        QCOMPARE(prompter.questions, QStringList{kChangedByOtherQuestion});
        QCOMPARE(saved, answer);
        QCOMPARE(reloaded, !answer);
        QCOMPARE(after, answer ? mine_value : before);
    }
}

QTEST_GUILESS_MAIN(TestSharedDatabase)
#include "test_shared_mariadb.moc"
