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
#include "ui/save_conflict.h"

namespace {

const QString kInitial = QStringLiteral("初期");
const QString kOther = QStringLiteral("他の担当者");
const QString kMine = QStringLiteral("自分");
const QString kGone = QStringLiteral("(なし)");

// One screen's save (or delete) of a shown row, and how a test arranges and reads that row.
struct ScreenSave {
    std::function<QString(Session&)> add;                     // a row holding kInitial; its key
    std::function<StoredRow(Session&, const QString&)> show;  // the row as the screen reads it
    std::function<WriteCheck(Session&, const QString&, const StoredRow*, StoredRow*)> save;  // writes kMine
    std::function<void(Session&, const QString&, const QString&)> change;  // the other PC's save
    std::function<QString(Session&, const QString&)> value;  // the column the saves write, or kGone
    bool deletes = false;
    QString table;
    QString key_column;
    bool quoted_key = false;
};

QString one(Session& s, const QString& statement) {
    const ResultTable rows = s.db->query_rows(statement, 1);
    return rows.row_count() > 0 ? rows(0, 1) : kGone;
}

QString last_key(Session& s, const QString& table, const QString& key_column) {
    return one(s, QStringLiteral("select max(%1) from %2").arg(key_column, table));  // one client only
}

ScreenSave customer_save(bool deletes) {
    ScreenSave c;
    c.add = [](Session& s) {
        s.db->execute_sql(
            QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values(%1,'かな')").arg(sql_text(kInitial)));
        return last_key(s, QStringLiteral("顧客"), QStringLiteral("顧客ID"));
    };
    c.show = [](Session& s, const QString& key) { return read_stored_row(*s.db, customer_address(key)); };
    c.save = [deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
        if (deletes)
            return delete_customer(*s.db, key, shown, stored);
        QStringList fields = row_texts(*shown).mid(1, kCustomerFieldCount);
        fields[0] = kMine;
        return update_customer(*s.db, fields, key, shown, stored);
    };
    c.change = [](Session& s, const QString& key, const QString& text) {
        s.db->execute_sql(
            QStringLiteral("update 顧客 set 顧客名=%1 where 顧客ID=%2").arg(sql_text(text), key));
    };
    c.value = [](Session& s, const QString& key) {
        return one(s, QStringLiteral("select 顧客名 from 顧客 where 顧客ID=") + key);
    };
    c.deletes = deletes;
    c.table = QStringLiteral("顧客");
    c.key_column = QStringLiteral("顧客ID");
    return c;
}

const TableItem& visit_item(Session& s) {
    for (const TableItem& item : s.table_items)
        if (item.table_name == QStringLiteral("訪問"))
            return item;
    qFatal("no 訪問 table item");
}

ScreenSave record_save(bool deletes) {
    ScreenSave c;
    c.add = [](Session& s) {
        s.db->execute_sql(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(1,'山田',"
                                         "'2026/12/01',%1,'')")
                              .arg(sql_text(kInitial)));
        return last_key(s, QStringLiteral("訪問"), QStringLiteral("訪問ID"));
    };
    c.show = [](Session& s, const QString& key) {
        return read_stored_row(*s.db, record_address(visit_item(s), key));
    };
    c.save = [deletes](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
        const TableItem& item = visit_item(s);
        WriteCheck check = WriteCheck::Clear;
        if (deletes) {
            delete_record(*s.db, item, key, shown, stored, &check);
            return check;
        }
        QStringList boxes = row_texts(*shown).mid(1, item.field_count - 1);
        boxes[item.field_names.indexOf(QStringLiteral("名称")) - 1] = kMine;
        const QStringList messages =
            update_record(*s.db, item, key, boxes, QString(), QDate(2026, 12, 8), shown, stored, &check);
        if (!messages.isEmpty())
            qFatal("record refused: %s", qPrintable(messages.join(u' ')));
        return check;
    };
    c.change = [](Session& s, const QString& key, const QString& text) {
        s.db->execute_sql(QStringLiteral("update 訪問 set 名称=%1 where 訪問ID=%2").arg(sql_text(text), key));
    };
    c.value = [](Session& s, const QString& key) {
        return one(s, QStringLiteral("select 名称 from 訪問 where 訪問ID=") + key);
    };
    c.deletes = deletes;
    c.table = QStringLiteral("訪問");
    c.key_column = QStringLiteral("訪問ID");
    return c;
}

ScreenSave master_save(MasterKind kind, bool deletes) {
    const MasterTable* t = &master_table(kind);
    const int box = int(t->numeric.indexOf(false));  // the first text box
    ScreenSave c;
    c.add = [kind, t, box](Session& s) {
        QStringList fields(4, QStringLiteral("1"));
        fields[box] = kInitial;
        insert_master(*s.db, kind, fields);
        return last_key(s, t->table, t->key_column);
    };
    c.show = [kind](Session& s, const QString& key) { return read_master(*s.db, kind, key)->stored; };
    c.save = [kind, deletes, box](Session& s, const QString& key, const StoredRow* shown, StoredRow* stored) {
        if (deletes)
            return delete_master(*s.db, kind, key, shown, stored);
        QStringList fields = row_texts(*shown).mid(1, 4);  // what the boxes show
        fields[box] = kMine;
        WriteCheck check = WriteCheck::Clear;
        update_master(*s.db, kind, key, fields, shown, stored, &check);
        return check;
    };
    c.change = [t, box](Session& s, const QString& key, const QString& text) {
        s.db->execute_sql(QStringLiteral("update %1 set %2=%3 where %4=%5")
                              .arg(t->table, t->columns.at(box), sql_text(text), t->key_column, key));
    };
    c.value = [t, box](Session& s, const QString& key) {
        return one(s, QStringLiteral("select %1 from %2 where %3=%4")
                          .arg(t->columns.at(box), t->table, t->key_column, key));
    };
    c.deletes = deletes;
    c.table = t->table;
    c.key_column = t->key_column;
    return c;
}

ScreenSave template_save(bool deletes) {
    ScreenSave c;
    c.add = [](Session& s) {
        const QString name = QStringLiteral("案内 ") + QString::fromLatin1(QTest::currentDataTag());
        add_template(*s.db, name, kInitial);
        return name;
    };
    c.show = [](Session& s, const QString& name) {
        return row_from_texts(
            {name, one(s, QStringLiteral("select 本文 from テンプレート where 名称=") + sql_text(name))});
    };
    c.save = [deletes](Session& s, const QString& name, const StoredRow* shown, StoredRow* stored) {
        return deletes ? delete_template(*s.db, name, shown, stored)
                       : save_template(*s.db, name, kMine, shown, stored);
    };
    c.change = [](Session& s, const QString& name, const QString& text) { save_template(*s.db, name, text); };
    c.value = [](Session& s, const QString& name) {
        return one(s, QStringLiteral("select 本文 from テンプレート where 名称=") + sql_text(name));
    };
    c.deletes = deletes;
    c.table = QStringLiteral("テンプレート");
    c.key_column = QStringLiteral("名称");
    c.quoted_key = true;
    return c;
}

ScreenSave company_save() {
    ScreenSave c;
    c.add = [](Session& s) {
        s.db->execute_sql(QStringLiteral("update 自社情報 set 会社名=") + sql_text(kInitial));
        load_company(s);
        return s.company_key;
    };
    c.show = [](Session& s, const QString&) { return load_company(s); };
    c.save = [](Session& s, const QString&, const StoredRow* shown, StoredRow* stored) {
        QStringList fields = s.company_settings.mid(1, kCompanyFieldCount);
        fields[1] = kMine;
        WriteCheck check = WriteCheck::Clear;
        const QString problem =
            save_company_settings(s, fields, business_type_of(s.company_setting(14)), shown, stored, &check);
        if (!problem.isEmpty())
            qFatal("company refused: %s", qPrintable(problem));
        return check;
    };
    c.change = [](Session& s, const QString& key, const QString& text) {
        s.db->execute_sql(
            QStringLiteral("update 自社情報 set 会社名=%1 where id=%2").arg(sql_text(text), key));
    };
    c.value = [](Session& s, const QString& key) {
        return one(s, QStringLiteral("select 会社名 from 自社情報 where id=") + key);
    };
    c.table = QStringLiteral("自社情報");
    c.key_column = QStringLiteral("id");
    return c;
}

ScreenSave screen_save(const QString& name) {
    if (name == QStringLiteral("顧客 変更"))
        return customer_save(false);
    if (name == QStringLiteral("顧客 削除"))
        return customer_save(true);
    if (name == QStringLiteral("履歴 更新"))
        return record_save(false);
    if (name == QStringLiteral("履歴 削除"))
        return record_save(true);
    if (name == QStringLiteral("社員 変更"))
        return master_save(MasterKind::Employees, false);
    if (name == QStringLiteral("社員 削除"))
        return master_save(MasterKind::Employees, true);
    if (name == QStringLiteral("商品 変更"))
        return master_save(MasterKind::Goods, false);
    if (name == QStringLiteral("テンプレート 保存"))
        return template_save(false);
    if (name == QStringLiteral("テンプレート 削除"))
        return template_save(true);
    return company_save();
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
    const QString name =
        QLatin1Char('`') + admin.query_rows(QStringLiteral("select database()"), 1)(0, 1) + QLatin1Char('`');
    admin.execute_sql(QStringLiteral("drop database if exists ") + name);
    admin.execute_sql(QStringLiteral("create database ") + name +
                      QStringLiteral(" default character set utf8mb4 collate utf8mb4_general_ci"));
    admin.execute_sql(QStringLiteral("use ") + name);
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
    const QString key = save.add(*mine);
    StoredRow shown = save.show(*mine, key);
    QVERIFY(shown.found);

    if (other == QLatin1String("changed"))
        save.change(*theirs, key, kOther);
    else if (other == QLatin1String("trailing space"))
        save.change(*theirs, key, kInitial + QLatin1Char(' '));
    else if (other == QLatin1String("deleted"))
        theirs->db->execute_sql(QStringLiteral("delete from ") + save.table + QStringLiteral(" where ") +
                                save.key_column + QLatin1Char('=') + (save.quoted_key ? sql_text(key) : key));
    const QString before = save.value(*theirs, key);

    QueuedPrompter prompter;
    prompter.answers = {answer};
    bool reloaded = false;
    const bool saved = save_shown_row(
        prompter, shown,
        [&](const StoredRow* s, StoredRow* stored) { return save.save(*mine, key, s, stored); },
        [&] { reloaded = true; });

    const QString after = save.value(*theirs, key);
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
