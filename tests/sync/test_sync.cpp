// 持ち出しと同期 with an office that is an embedded file too: the copy, the journal of every write
// path, new keys, conflicts, restorable deletes, and a sync cut at every point and run again.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <functional>

#include "app/demo_data.h"
#include "customers/csv_import.h"
#include "customers/customer_merge.h"
#include "customers/customer_store.h"
#include "db/deleted_rows.h"
#include "db/deleted_rows_schema.h"
#include "db/schema.h"
#include "records/activity_entry.h"
#include "records/order_entry.h"
#include "records/record_list.h"
#include "sync/checkout.h"
#include "sync/sync_tables.h"
#include "sync_support.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);

struct SyncCut {};

OfficeIdentity identity_of(TestFolder& office) {
    return {QStringLiteral("Jet"), QStringLiteral("sales.mdb"), office.path()};
}

QStringList customer_fields(const QString& name, const QString& kana, const QString& tel = QString()) {
    QStringList fields(kCustomerFieldCount);
    fields[0] = name;
    fields[1] = kana;
    fields[6] = tel;
    return fields;
}

// The customer's fields as the entry screen holds them, one of them typed over.
QStringList edited(Database& db, const QString& id, const QString& column, const QString& value) {
    QStringList fields = load_customer(db, id)->mid(1, kCustomerFieldCount);
    fields[customer_field_columns().indexOf(column)] = value;
    return fields;
}

QString one(Database& db, const QString& statement) {
    const ResultTable rows = db.query_rows(statement, 1);
    return rows.row_count() == 0 ? QStringLiteral("(なし)") : rows(0, 1);
}

const TableItem& item_of(Session& s, const QString& table) {
    for (const TableItem& item : s.table_items)
        if (item.table_name == table)
            return item;
    qFatal("no table item");
}

// An office with two customers, an order with two lines and a visit; a laptop copy of it.
struct Pair {
    TestFolder office{kToday};
    QString yamada, suzuki, order, goods;
    std::unique_ptr<LaptopCopy> laptop;

    Pair() {
        office.add_employee(QStringLiteral("佐藤"));
        office.reload();
        goods = office.add_goods(QStringLiteral("コピー用紙"), QStringLiteral("500"));
        yamada = office.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));
        suzuki = office.add_customer(QStringLiteral("鈴木工業"), QStringLiteral("すずきこうぎょう"));
        office.exec(QStringLiteral("update 顧客 set TEL='03-1111-1111', FAX='03-1111-1112' where 顧客ID=") +
                    yamada);
        OrderForm form{yamada,
                       QStringLiteral("山田商事"),
                       QStringLiteral("佐藤"),
                       QStringLiteral("2026/12/01"),
                       QStringLiteral("初回注文"),
                       QStringLiteral("1500"),
                       QStringLiteral("10"),
                       QStringLiteral("0"),
                       {{goods, QStringLiteral("コピー用紙"), QStringLiteral("1"), QStringLiteral("500")},
                        {goods, QStringLiteral("コピー用紙"), QStringLiteral("2"), QStringLiteral("1000")}}};
        save_order(office.db(), form, kToday);
        order = office.value(QStringLiteral("select max(受注ID) from 受注"));
        office.exec(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) "
                                   "values(%1,'佐藤','2026/12/02','定期訪問','')")
                        .arg(yamada));
        laptop =
            std::make_unique<LaptopCopy>(office.db(), identity_of(office), kToday, QStringLiteral("佐藤"));
    }
    Database& mine() { return laptop->db(); }
    Database& theirs() { return office.db(); }
};

}  // namespace

class TestSync : public QObject {
    Q_OBJECT
private slots:
    void checkout_copies_every_table();
    void checkout_refuses_data();
    void checkout_refuses();
    void every_write_path_is_brought_back_data();
    void every_write_path_is_brought_back();
    void rolled_back_work_leaves_no_change();
    void tables_and_columns_added_later_are_kept_too();
    void new_rows_get_the_office_keys();
    void conflicts_are_decided_data();
    void conflicts_are_decided();
    void field_by_field_takes_the_chosen_fields();
    void a_row_of_a_deleted_customer_is_a_conflict_data();
    void a_row_of_a_deleted_customer_is_a_conflict();
    void a_cut_sync_run_again_applies_each_change_once();
    void office_changes_arrive_and_waiting_rows_stay();
    void derived_search_columns_are_computed_by_the_office();
    void deletes_stay_restorable_in_the_office_data();
    void deletes_stay_restorable_in_the_office();
    void office_out_of_reach_leaves_the_laptop_working();
    void templates_are_found_by_name();
    void sales_cli_exit_statuses();
};

void TestSync::checkout_copies_every_table() {
    TestFolder office(kToday);
    DemoOptions demo;
    demo.customers = 40;
    demo.as_of = kToday;
    generate_demo_data(office.db(), demo);
    office.exec(QStringLiteral("update 顧客 set 備考=NULL where 顧客ID=3"));
    office.exec(QStringLiteral("update 顧客 set 備考='-' where 顧客ID=4"));  // a typed "-" is no NULL
    LaptopCopy laptop(office.db(), identity_of(office), kToday, QStringLiteral("佐藤"));

    for (const TableDef& t : schema_tables())
        QCOMPARE(table_dump(laptop.db(), t.name, true), table_dump(office.db(), t.name, true));
    QCOMPARE(table_dump(laptop.db(), kDeletedRowsTable), table_dump(office.db(), kDeletedRowsTable));
    QCOMPARE(laptop.value(QStringLiteral("select count(*) from 顧客 where 備考 is null and 顧客ID=3")),
             QStringLiteral("1"));

    QFile ini(QDir(laptop.path()).filePath(QStringLiteral("sales.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(ini.readAll()), QStringLiteral("\"営業手帳\",\"Jet\",\"sales.mdb\"\r\n"));
    const CopyInfo info = read_copy_info(laptop.db());
    QCOMPARE(info.office_kind, QStringLiteral("Jet"));
    QCOMPARE(info.office_database, QStringLiteral("sales.mdb"));
    QCOMPARE(info.office_folder, QDir(office.path()).absolutePath());
    QCOMPARE(info.employee, QStringLiteral("佐藤"));
    QVERIFY(qAbs(info.taken_at.secsTo(QDateTime::currentDateTime())) < 60);
    QCOMPARE(pending_change_count(laptop.db()), 0);

    // Rows made on the laptop are numbered apart from the office's.
    laptop.db().insert_row(QStringLiteral("insert into 訪問 (顧客ID,名称) values(1,'ノート')"),
                           QStringLiteral("訪問ID"));
    QCOMPARE(laptop.value(QStringLiteral("select max(訪問ID) from 訪問")), QStringLiteral("1000000001"));
    QCOMPARE(pending_change_count(laptop.db()), 1);
}

void TestSync::checkout_refuses_data() {
    QTest::addColumn<QString>("case_name");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder already holds a program folder")
        << "folder"
        << "持ち出し先のフォルダには既に営業手帳のデータがあります";
    QTest::newRow("a taken-out copy taken out again") << "copy"
                                                      << "このデータベースは持ち出したコピーです";
}

void TestSync::checkout_refuses() {
    QFETCH(QString, case_name);
    QFETCH(QString, message);
    Pair pair;
    QTemporaryDir target;
    Database* from = &pair.theirs();
    OfficeIdentity identity = identity_of(pair.office);
    QString folder = target.path() + QStringLiteral("/new");
    if (case_name == QLatin1String("folder")) {
        folder = pair.laptop->path();
    } else {
        from = &pair.mine();
        identity = {QStringLiteral("Jet"), QStringLiteral("sales.mdb"), pair.laptop->path()};
    }
    const QStringList before = database_dump(pair.mine());
    CheckoutOptions options;
    options.folder = folder;
    try {
        take_out(*from, identity, options);
        QFAIL("taken out");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
    }
    QCOMPARE(database_dump(pair.mine()), before);
    QVERIFY(!QFileInfo::exists(target.path() + QStringLiteral("/new")));
}

// Each way the program writes, done on the laptop, reaches the office after a sync.
void TestSync::every_write_path_is_brought_back_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    QTest::newRow("new customer (main window)") << "insert_customer"
                                                << "select TEL from 顧客 where 顧客名='田中建設'"
                                                << "06-0000-0000";
    QTest::newRow("customer edited (main window)") << "update_customer"
                                                   << "select 住所 from 顧客 where 顧客名='鈴木工業'"
                                                   << "大阪市北区";
    QTest::newRow("customer deleted (main window)") << "delete_customer"
                                                    << "select count(*) from 顧客 where 顧客名='鈴木工業'"
                                                    << "0";
    QTest::newRow("order with lines (order screen)")
        << "save_order"
        << "select count(*) from 受注明細 m join 受注 o on o.受注ID=m.受注ID where o.名称='追加注文'"
        << "3";
    QTest::newRow("visit (entry screen)") << "save_activity"
                                          << "select 顧客ID from 訪問 where 名称='出張訪問'"
                                          << "customer:yamada";
    QTest::newRow("record list edit") << "update_record"
                                      << "select 名称 from 訪問 where 内容='一覧で変更'"
                                      << "定期訪問";
    QTest::newRow("record list delete") << "delete_record"
                                        << "select count(*) from 訪問"
                                        << "0";
    QTest::newRow("CSV import") << "import"
                                << "select count(*) from 顧客"
                                << "4";
    QTest::newRow("merge")
        << "merge"
        << "select count(*) from 訪問 where 顧客ID=(select 顧客ID from 顧客 where 顧客名='鈴木工業')"
        << "1";
    QTest::newRow("restore from 削除済みデータ") << "restore"
                                                 << "select 顧客名 from 顧客 where 顧客ID=2"
                                                 << "鈴木工業";
    QTest::newRow("another program's statement") << "raw"
                                                 << "select 単価 from 商品"
                                                 << "480";
}

void TestSync::every_write_path_is_brought_back() {
    QFETCH(QString, path);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    Pair pair;
    Database& db = pair.mine();
    Session& s = pair.laptop->session();
    if (path == QLatin1String("insert_customer")) {
        insert_customer(db, customer_fields(QStringLiteral("田中建設"), QStringLiteral("たなか"),
                                            QStringLiteral("06-0000-0000")));
    } else if (path == QLatin1String("update_customer")) {
        QCOMPARE(
            update_customer(db, edited(db, pair.suzuki, QStringLiteral("住所"), QStringLiteral("大阪市北区")),
                            pair.suzuki),
            WriteCheck::Clear);
    } else if (path == QLatin1String("delete_customer")) {
        delete_customer(db, pair.suzuki, QStringLiteral("佐藤"));
    } else if (path == QLatin1String("save_order")) {
        OrderForm form{pair.suzuki,
                       QStringLiteral("鈴木工業"),
                       QStringLiteral("佐藤"),
                       QStringLiteral("2026/12/05"),
                       QStringLiteral("追加注文"),
                       QStringLiteral("1500"),
                       QStringLiteral("10"),
                       QStringLiteral("0"),
                       {{pair.goods, QString(), QStringLiteral("1"), QStringLiteral("500")},
                        {pair.goods, QString(), QStringLiteral("1"), QStringLiteral("500")},
                        {pair.goods, QString(), QStringLiteral("1"), QStringLiteral("500")}}};
        QCOMPARE(save_order(db, form, kToday), QStringList());
    } else if (path == QLatin1String("save_activity")) {
        QStringList boxes = {QStringLiteral("佐藤"), QStringLiteral("2026/12/06"), QStringLiteral("出張訪問"),
                             QString()};
        QCOMPARE(save_activity(db, activity_kind(Activity::Visit), pair.yamada, boxes, kToday),
                 QStringList());
    } else if (path == QLatin1String("update_record") || path == QLatin1String("delete_record")) {
        const TableItem& item = item_of(s, QStringLiteral("訪問"));
        const QString key = pair.laptop->value(QStringLiteral("select max(訪問ID) from 訪問"));
        if (path == QLatin1String("delete_record")) {
            QVERIFY(delete_record(db, item, key, QStringLiteral("佐藤")));
        } else {
            QStringList boxes =
                row_texts(read_stored_row(db, record_address(item, key))).mid(1, item.field_count - 1);
            boxes[item.field_names.indexOf(QStringLiteral("内容")) - 1] = QStringLiteral("一覧で変更");
            QCOMPARE(update_record(db, item, key, boxes, QString(), kToday), QStringList());
        }
    } else if (path == QLatin1String("import")) {
        QVERIFY(import_customer_csv(
                    db, qEnvironmentVariable("SALES_TEST_DATA") + QStringLiteral("/csv/customers_utf8.csv"))
                    .ok);
    } else if (path == QLatin1String("merge")) {
        merge_customers(db, pair.suzuki, pair.yamada, QStringLiteral("佐藤"));
    } else if (path == QLatin1String("restore")) {
        // Deleted in the office before this copy was taken, restored on the laptop under its key.
        delete_customer(pair.theirs(), pair.suzuki, QStringLiteral("佐藤"));
        LaptopCopy copy(pair.theirs(), identity_of(pair.office), kToday);
        const QString entry = copy.value(QStringLiteral("select max(削除ID) from 削除済みデータ"));
        QCOMPARE(restore_deleted_rows(copy.db(), entry), QString());
        QCOMPARE(copy.sync().exit_status(), 0);
        QCOMPARE(one(pair.theirs(), query), expected);
        QCOMPARE(one(pair.theirs(), QStringLiteral("select count(*) from 削除済みデータ")),
                 QStringLiteral("0"));
        QCOMPARE(database_dump(copy.db()), database_dump(pair.theirs()));
        return;
    } else if (path == QLatin1String("raw")) {
        pair.laptop->exec(QStringLiteral("update 商品 set 単価=480"));
    }
    QVERIFY(pending_change_count(db) > 0);
    const SyncSummary summary = pair.laptop->sync();
    QVERIFY2(summary.exit_status() == 0, qPrintable(summary.report()));
    QVERIFY(summary.sent > 0);
    if (expected == QLatin1String("customer:yamada"))
        expected = pair.yamada;
    QCOMPARE(one(pair.theirs(), query), expected);
    QCOMPARE(pending_change_count(db), 0);
    // Both sides hold the same rows afterwards.
    QCOMPARE(database_dump(db), database_dump(pair.theirs()));
}

void TestSync::rolled_back_work_leaves_no_change() {
    Pair pair;
    {
        Transaction tx(pair.mine());
        pair.laptop->exec(QStringLiteral("update 顧客 set TEL='0' where 顧客ID=") + pair.yamada);
        pair.laptop->exec(QStringLiteral("insert into 訪問 (顧客ID,名称) values(1,'取り消し')"));
    }
    QCOMPARE(pending_change_count(pair.mine()), 0);
    // A refused statement of a group leaves nothing either.
    try {
        Transaction tx(pair.mine());
        pair.laptop->exec(QStringLiteral("update 顧客 set TEL='1' where 顧客ID=") + pair.yamada);
        pair.laptop->exec(
            QStringLiteral("insert into 顧客 (顧客名) values(%1)").arg(sql_text(QString(300, 'x'))));
        tx.commit();
    } catch (const DatabaseError&) {
    }
    QCOMPARE(pending_change_count(pair.mine()), 0);
}

// A newer program adds a table or a column to the copy: the next start keeps their changes too.
void TestSync::tables_and_columns_added_later_are_kept_too() {
    Pair pair;
    pair.laptop->exec(
        QStringLiteral("create table 追加の表 (追加ID integer primary key autoincrement, 名前 text)"));
    pair.laptop->exec(QStringLiteral("alter table 顧客 add column 追加の列 text"));
    keep_journal_complete(pair.mine());
    pair.laptop->exec(QStringLiteral("insert into 追加の表 (名前) values('新しい')"));
    pair.laptop->exec(QStringLiteral("update 顧客 set 追加の列='新しい' where 顧客ID=") + pair.yamada);
    QCOMPARE(pending_change_count(pair.mine()), 2);
    // On the office's own database it does nothing.
    keep_journal_complete(pair.theirs());
    QCOMPARE(one(pair.theirs(),
                 QStringLiteral(
                     "select count(*) from sqlite_master where type='trigger' and name like '持ち出し%'")),
             QStringLiteral("0"));
}

void TestSync::new_rows_get_the_office_keys() {
    Pair pair;
    // The office numbers two customers and an order meanwhile: the laptop's must not take those keys.
    const QString office_customer =
        pair.office.add_customer(QStringLiteral("事務所の新規"), QStringLiteral("じむしょ"));
    pair.office.add_customer(QStringLiteral("事務所の新規2"), QStringLiteral("じむしょ"));
    pair.office.exec(
        QStringLiteral("insert into 受注 (顧客ID,名称) values(%1,'事務所の注文')").arg(office_customer));

    Database& db = pair.mine();
    insert_customer(db, customer_fields(QStringLiteral("ノートの新規"), QStringLiteral("のーと")));
    const QString laptop_customer = pair.laptop->value(QStringLiteral("select max(顧客ID) from 顧客"));
    QVERIFY(laptop_customer.toLongLong() > kLaptopKeyBase);
    OrderForm form{laptop_customer,
                   QStringLiteral("ノートの新規"),
                   QStringLiteral("佐藤"),
                   QStringLiteral("2026/12/05"),
                   QStringLiteral("ノートの注文"),
                   QStringLiteral("1000"),
                   QStringLiteral("10"),
                   QStringLiteral("0"),
                   {{pair.goods, QString(), QStringLiteral("2"), QStringLiteral("1000")}}};
    QCOMPARE(save_order(db, form, kToday), QStringList());
    OrderForm old_customer = form;
    old_customer.customer_id = pair.yamada;
    old_customer.title = QStringLiteral("山田さんへの追加");
    QCOMPARE(save_order(db, old_customer, kToday), QStringList());
    const QString laptop_order =
        pair.laptop->value(QStringLiteral("select min(受注ID) from 受注 where 受注ID>=1000000000"));
    pair.laptop->exec(QStringLiteral("insert into 原価 (顧客ID,受注ID,名称,金額) values(%1,%2,'材料費',300)")
                          .arg(laptop_customer, laptop_order));
    QStringList boxes = {QStringLiteral("佐藤"), QStringLiteral("2026/12/06"), QStringLiteral("ノートの訪問"),
                         QString()};
    QCOMPARE(save_activity(db, activity_kind(Activity::Visit), laptop_customer, boxes, kToday),
             QStringList());

    const SyncSummary summary = pair.laptop->sync();
    QCOMPARE(summary.text(), QStringLiteral("7 件送信, 3 件受信, 0 件の競合"));
    Database& office = pair.theirs();
    const QString customer =
        one(office, QStringLiteral("select 顧客ID from 顧客 where 顧客名='ノートの新規'"));
    QCOMPARE(customer, QString::number(office_customer.toInt() + 2));
    const QString order = one(office, QStringLiteral("select 受注ID from 受注 where 名称='ノートの注文'"));
    QCOMPARE(one(office, QStringLiteral("select 顧客ID from 受注 where 受注ID=") + order), customer);
    QCOMPARE(
        one(office,
            QStringLiteral("select count(*) from 受注明細 where 受注ID=%1 and 顧客名='ノートの新規' and 数=2")
                .arg(order)),
        QStringLiteral("1"));
    QCOMPARE(one(office, QStringLiteral("select 顧客ID from 受注 where 名称='山田さんへの追加'")),
             pair.yamada);
    QCOMPARE(one(office, QStringLiteral("select 顧客ID || '/' || 受注ID from 原価")),
             customer + QLatin1Char('/') + order);
    QCOMPARE(one(office, QStringLiteral("select 顧客ID from 訪問 where 名称='ノートの訪問'")), customer);
    QCOMPARE(summary.new_keys.value(QStringLiteral("顧客")).value(laptop_customer.toLongLong()),
             customer.toLongLong());
    // The laptop holds the office's keys now, and numbers its next rows apart again.
    QCOMPARE(database_dump(db), database_dump(office));
    QCOMPARE(pair.laptop->value(QStringLiteral("select count(*) from 顧客 where 顧客ID>=1000000000")),
             QStringLiteral("0"));
    insert_customer(db, customer_fields(QStringLiteral("次の新規"), QStringLiteral("つぎ")));
    QVERIFY(pair.laptop->value(QStringLiteral("select max(顧客ID) from 顧客")).toLongLong() > kLaptopKeyBase);
}

// The same customer changed or deleted on both sides: each choice stores what it says.
void TestSync::conflicts_are_decided_data() {
    QTest::addColumn<QString>("laptop_does");
    QTest::addColumn<QString>("office_does");
    QTest::addColumn<SyncDecision::Choice>("choice");
    QTest::addColumn<QString>("office_tel");  // TEL of 山田商事 in the office afterwards, (なし) when deleted
    QTest::addColumn<QString>("laptop_tel");  // and on the laptop
    QTest::addColumn<int>("conflicts");
    QTest::addColumn<int>("status");
    using D = SyncDecision;
    QTest::newRow("both changed, stop") << "change"
                                        << "change" << D::Stop << "office"
                                        << "laptop" << 1 << 3;
    QTest::newRow("both changed, laptop") << "change"
                                          << "change" << D::Laptop << "laptop"
                                          << "laptop" << 1 << 0;
    QTest::newRow("both changed, office") << "change"
                                          << "change" << D::Office << "office"
                                          << "office" << 1 << 0;
    QTest::newRow("both made the same change") << "same"
                                               << "same" << D::Stop << "same"
                                               << "same" << 0 << 0;
    QTest::newRow("other fields changed meanwhile") << "change"
                                                    << "fax" << D::Stop << "03-1111-1111"
                                                    << "laptop" << 1 << 3;
    QTest::newRow("laptop deleted, office changed, laptop") << "delete"
                                                            << "change" << D::Laptop << "(なし)"
                                                            << "(なし)" << 1 << 0;
    QTest::newRow("laptop deleted, office changed, office") << "delete"
                                                            << "change" << D::Office << "office"
                                                            << "office" << 1 << 0;
    QTest::newRow("laptop deleted, office changed, stop") << "delete"
                                                          << "change" << D::Stop << "office"
                                                          << "(なし)" << 1 << 3;
    QTest::newRow("laptop changed, office deleted, laptop") << "change"
                                                            << "delete" << D::Laptop << "laptop"
                                                            << "laptop" << 1 << 0;
    QTest::newRow("laptop changed, office deleted, office") << "change"
                                                            << "delete" << D::Office << "(なし)"
                                                            << "(なし)" << 1 << 0;
    QTest::newRow("both deleted") << "delete"
                                  << "delete" << D::Stop << "(なし)"
                                  << "(なし)" << 0 << 0;
    QTest::newRow("office changed only") << "nothing"
                                         << "change" << D::Stop << "office"
                                         << "office" << 0 << 0;
}

void TestSync::conflicts_are_decided() {
    QFETCH(QString, laptop_does);
    QFETCH(QString, office_does);
    QFETCH(SyncDecision::Choice, choice);
    QFETCH(QString, office_tel);
    QFETCH(QString, laptop_tel);
    QFETCH(int, conflicts);
    QFETCH(int, status);
    Pair pair;
    auto act = [&](Database& db, const QString& what, const QString& tel) {
        if (what == QLatin1String("change"))
            update_customer(db, edited(db, pair.yamada, QStringLiteral("TEL"), tel), pair.yamada);
        else if (what == QLatin1String("same"))
            update_customer(db, edited(db, pair.yamada, QStringLiteral("TEL"), QStringLiteral("same")),
                            pair.yamada);
        else if (what == QLatin1String("fax"))
            update_customer(db,
                            edited(db, pair.yamada, QStringLiteral("FAX"), QStringLiteral("03-9999-9999")),
                            pair.yamada);
        else if (what == QLatin1String("delete"))
            delete_customer(db, pair.yamada, QStringLiteral("佐藤"));
    };
    act(pair.mine(), laptop_does, QStringLiteral("laptop"));
    act(pair.theirs(), office_does, QStringLiteral("office"));
    const SyncSummary summary = pair.laptop->sync(choice);
    QCOMPARE(summary.conflicts, conflicts);
    QCOMPARE(summary.exit_status(), status);
    const QString query = QStringLiteral("select TEL from 顧客 where 顧客ID=") + pair.yamada;
    QCOMPARE(one(pair.theirs(), query), office_tel);
    QCOMPARE(one(pair.mine(), query), laptop_tel);
    QCOMPARE(summary.conflict_lines.size(), conflicts);
    if (conflicts > 0)
        QVERIFY2(summary.conflict_lines.first().startsWith(
                     QStringLiteral("顧客「山田商事」（顧客ID %1）").arg(pair.yamada)),
                 qPrintable(summary.conflict_lines.first()));
    // What is left waits for the next sync; everything else is the same on both sides.
    QCOMPARE(pending_change_count(pair.mine()), status == 3 ? 1 : 0);
    if (status == 0)
        QCOMPARE(database_dump(pair.mine()), database_dump(pair.theirs()));
    // The next sync asks again about what was left, and nothing else.
    if (status == 3) {
        const SyncSummary again = pair.laptop->sync(SyncDecision::Laptop);
        QCOMPARE(again.conflicts, 1);
        QCOMPARE(one(pair.theirs(), query), laptop_tel);
    }
}

void TestSync::field_by_field_takes_the_chosen_fields() {
    Pair pair;
    Database& db = pair.mine();
    QStringList mine = edited(db, pair.yamada, QStringLiteral("TEL"), QStringLiteral("ノートのTEL"));
    mine[customer_field_columns().indexOf(QStringLiteral("FAX"))] = QStringLiteral("ノートのFAX");
    update_customer(db, mine, pair.yamada);
    QStringList theirs =
        edited(pair.theirs(), pair.yamada, QStringLiteral("TEL"), QStringLiteral("事務所のTEL"));
    theirs[customer_field_columns().indexOf(QStringLiteral("FAX"))] = QStringLiteral("事務所のFAX");
    update_customer(pair.theirs(), theirs, pair.yamada);
    SyncConflict shown;
    const SyncSummary summary = pair.laptop->sync([&](const SyncConflict& c) {
        shown = c;
        SyncDecision d;
        d.choice = SyncDecision::Fields;
        d.laptop_columns = {QStringLiteral("TEL")};
        return d;
    });
    QCOMPARE(summary.conflicts, 1);
    QCOMPARE(shown.kind, ConflictKind::BothChanged);
    QCOMPARE(shown.differing_columns(), (QStringList{QStringLiteral("TEL"), QStringLiteral("FAX")}));
    const int tel = int(shown.columns.indexOf(QStringLiteral("TEL")));
    QCOMPARE(shown.laptop.at(tel), QStringLiteral("ノートのTEL"));
    QCOMPARE(shown.office.at(tel), QStringLiteral("事務所のTEL"));
    QVERIFY(!shown.columns.contains(QStringLiteral("検索文字列")));
    QCOMPARE(
        one(pair.theirs(), QStringLiteral("select TEL || '/' || FAX from 顧客 where 顧客ID=") + pair.yamada),
        QStringLiteral("ノートのTEL/事務所のFAX"));
    QCOMPARE(one(db, QStringLiteral("select TEL || '/' || FAX from 顧客 where 顧客ID=") + pair.yamada),
             QStringLiteral("ノートのTEL/事務所のFAX"));
}

// Rows the laptop added under a customer the office deleted meanwhile.
void TestSync::a_row_of_a_deleted_customer_is_a_conflict_data() {
    QTest::addColumn<SyncDecision::Choice>("choice");
    QTest::addColumn<QString>("customer");  // 山田商事 in the office afterwards
    QTest::addColumn<QString>("visits");    // the laptop's visits in the office
    QTest::addColumn<int>("status");
    QTest::newRow("laptop: the customer comes back") << SyncDecision::Laptop << "山田商事"
                                                     << "1" << 0;
    QTest::newRow("office: the visit is not sent") << SyncDecision::Office << "(なし)"
                                                   << "0" << 0;
    QTest::newRow("stop: the visit waits") << SyncDecision::Stop << "(なし)"
                                           << "0" << 3;
}

void TestSync::a_row_of_a_deleted_customer_is_a_conflict() {
    QFETCH(SyncDecision::Choice, choice);
    QFETCH(QString, customer);
    QFETCH(QString, visits);
    QFETCH(int, status);
    Pair pair;
    for (const char* title : {"ノートの訪問1", "ノートの訪問2"}) {
        QStringList boxes = {QStringLiteral("佐藤"), QStringLiteral("2026/12/06"), QString::fromUtf8(title),
                             QString()};
        QCOMPARE(save_activity(pair.mine(), activity_kind(Activity::Visit), pair.yamada, boxes, kToday),
                 QStringList());
    }
    delete_customer(pair.theirs(), pair.yamada, QStringLiteral("佐藤"));
    int asked = 0;
    const SyncSummary summary = pair.laptop->sync([&](const SyncConflict& c) {
        ++asked;
        [&] {
            QCOMPARE(c.kind, ConflictKind::ParentDeleted);
            QVERIFY(!c.office_exists);
            QCOMPARE(c.laptop.at(c.columns.indexOf(QStringLiteral("顧客名"))), QStringLiteral("山田商事"));
        }();
        SyncDecision d;
        d.choice = choice;
        return d;
    });
    QCOMPARE(asked, 1);  // once for the customer, not once per visit
    QCOMPARE(summary.exit_status(), status);
    QCOMPARE(one(pair.theirs(), QStringLiteral("select 顧客名 from 顧客 where 顧客ID=") + pair.yamada),
             customer);
    QCOMPARE(one(pair.theirs(), QStringLiteral("select count(*) from 訪問 where 名称 like 'ノートの訪問%'")),
             QString::number(visits.toInt() * 2));
    // No visit on a customer the office does not have.
    QCOMPARE(one(pair.theirs(),
                 QStringLiteral("select count(*) from 訪問 v where 名称 like 'ノート%' and not exists "
                                "(select 1 from 顧客 c where c.顧客ID=v.顧客ID)")),
             QStringLiteral("0"));
    QCOMPARE(pending_change_count(pair.mine()), status == 3 ? 2 : 0);
}

// A sync cut at each point where it can stop (before and after each office commit, inside the
// laptop's refresh) and run again gives the office exactly what an uncut sync gives.
void TestSync::a_cut_sync_run_again_applies_each_change_once() {
    auto scenario = [](Pair& pair) {
        Database& db = pair.mine();
        insert_customer(db, customer_fields(QStringLiteral("ノートの新規"), QStringLiteral("のーと")));
        const QString added = pair.laptop->value(QStringLiteral("select max(顧客ID) from 顧客"));
        OrderForm form{added,
                       QStringLiteral("ノートの新規"),
                       QStringLiteral("佐藤"),
                       QStringLiteral("2026/12/05"),
                       QStringLiteral("ノートの注文"),
                       QStringLiteral("1000"),
                       QStringLiteral("10"),
                       QStringLiteral("0"),
                       {{pair.goods, QString(), QStringLiteral("2"), QStringLiteral("1000")},
                        {pair.goods, QString(), QStringLiteral("2"), QStringLiteral("1000")}}};
        save_order(db, form, kToday);
        update_customer(db, edited(db, pair.yamada, QStringLiteral("TEL"), QStringLiteral("ノート")),
                        pair.yamada);
        update_customer(db, edited(db, pair.suzuki, QStringLiteral("住所"), QStringLiteral("ノート")),
                        pair.suzuki);
        merge_customers(db, pair.yamada, pair.suzuki, QStringLiteral("佐藤"));
        pair.laptop->exec(QStringLiteral("delete from 訪問"));
        // The office changed the same customer meanwhile: a conflict, decided for the laptop.
        update_customer(pair.theirs(),
                        edited(pair.theirs(), pair.yamada, QStringLiteral("FAX"), QStringLiteral("事務所")),
                        pair.yamada);
        pair.office.add_customer(QStringLiteral("事務所の新規"), QStringLiteral("じむしょ"));
    };
    QStringList expected_office, expected_laptop;
    int points = 0;
    {
        Pair pair;
        scenario(pair);
        const SyncSummary summary = pair.laptop->sync(SyncDecision::Laptop, [&](int point, int total) {
            QVERIFY(point <= total);
            points = point;
        });
        QCOMPARE(summary.exit_status(), 0);
        expected_office = database_dump(pair.theirs());
        expected_laptop = database_dump(pair.mine());
        QCOMPARE(expected_laptop, expected_office);
    }
    QVERIFY(points > 10);
    for (int cut_at = 1; cut_at <= points; ++cut_at) {
        Pair pair;
        scenario(pair);
        bool cut = false;
        try {
            pair.laptop->sync(SyncDecision::Laptop, [&](int point, int) {
                if (point == cut_at)
                    throw SyncCut{};
            });
        } catch (const SyncCut&) {
            cut = true;
        }
        QVERIFY2(cut, qPrintable(QStringLiteral("not cut at %1").arg(cut_at)));
        pair.laptop->reopen();  // as after a restart
        const SyncSummary again = pair.laptop->sync(SyncDecision::Laptop);
        QVERIFY2(again.exit_status() == 0, qPrintable(again.report()));
        QVERIFY2(database_dump(pair.theirs()) == expected_office,
                 qPrintable(QStringLiteral("cut at %1").arg(cut_at)));
        QVERIFY2(database_dump(pair.mine()) == expected_laptop,
                 qPrintable(QStringLiteral("cut at %1").arg(cut_at)));
        QCOMPARE(pending_change_count(pair.mine()), 0);
        QCOMPARE(one(pair.theirs(), QStringLiteral("select count(*) from 同期済み変更")),
                 QStringLiteral("0"));
    }
}

void TestSync::office_changes_arrive_and_waiting_rows_stay() {
    Pair pair;
    Database& office = pair.theirs();
    update_customer(office, edited(office, pair.suzuki, QStringLiteral("TEL"), QStringLiteral("事務所")),
                    pair.suzuki);
    pair.office.exec(QStringLiteral("delete from 訪問"));
    pair.office.add_customer(QStringLiteral("事務所の新規"), QStringLiteral("じむしょ"));
    // A conflict left for later keeps the laptop's version.
    update_customer(office, edited(office, pair.yamada, QStringLiteral("TEL"), QStringLiteral("事務所")),
                    pair.yamada);
    update_customer(pair.mine(),
                    edited(pair.mine(), pair.yamada, QStringLiteral("TEL"), QStringLiteral("ノート")),
                    pair.yamada);
    const SyncSummary summary = pair.laptop->sync();
    QCOMPARE(summary.text(), QStringLiteral("0 件送信, 3 件受信, 1 件の競合"));
    QCOMPARE(summary.waiting, 1);
    Database& db = pair.mine();
    QCOMPARE(one(db, QStringLiteral("select TEL from 顧客 where 顧客ID=") + pair.suzuki),
             QStringLiteral("事務所"));
    QCOMPARE(one(db, QStringLiteral("select count(*) from 訪問")), QStringLiteral("0"));
    QCOMPARE(one(db, QStringLiteral("select count(*) from 顧客 where 顧客名='事務所の新規'")),
             QStringLiteral("1"));
    QCOMPARE(one(db, QStringLiteral("select TEL from 顧客 where 顧客ID=") + pair.yamada),
             QStringLiteral("ノート"));
    QVERIFY(read_copy_info(db).synced_at.isValid());
    // Work goes on at once, and is kept.
    pair.laptop->exec(QStringLiteral("update 顧客 set 住所='その後' where 顧客ID=") + pair.suzuki);
    QCOMPARE(pending_change_count(db), 2);
    const SyncSummary next = pair.laptop->sync(SyncDecision::Office);
    QCOMPARE(next.text(), QStringLiteral("1 件送信, 1 件受信, 1 件の競合"));
    QCOMPARE(one(office, QStringLiteral("select 住所 from 顧客 where 顧客ID=") + pair.suzuki),
             QStringLiteral("その後"));
    QCOMPARE(database_dump(db), database_dump(office));
}

void TestSync::derived_search_columns_are_computed_by_the_office() {
    Pair pair;
    // A change of the folded copies alone is no change of the customer.
    pair.laptop->exec(QStringLiteral("update 顧客 set 検索文字列='x', 検索かな='x' where 顧客ID=") +
                      pair.yamada);
    QCOMPARE(pending_change_count(pair.mine()), 0);
    pair.laptop->exec(QStringLiteral("update 顧客 set 顧客名='ヤマダ物産', 検索文字列='ごみ' where 顧客ID=") +
                      pair.suzuki);
    QCOMPARE(pair.laptop->sync().exit_status(), 0);
    QCOMPARE(partial_search_customer_ids(pair.theirs(), QStringLiteral("ヤマダ物産")),
             QVector<QString>{pair.suzuki});
    QCOMPARE(partial_search_customer_ids(pair.theirs(), QStringLiteral("ごみ")), QVector<QString>());
    QCOMPARE(partial_search_customer_ids(pair.mine(), QStringLiteral("ヤマダ物産")),
             QVector<QString>{pair.suzuki});
}

// Rows deleted through a sync can be restored in the office from 削除済みデータ.
void TestSync::deletes_stay_restorable_in_the_office_data() {
    QTest::addColumn<QString>("case_name");
    QTest::addColumn<QString>("restored_tel");
    QTest::newRow("deleted on the laptop") << "delete"
                                           << "03-1111-1111";
    QTest::newRow("deleted on the laptop, changed in the office") << "delete changed"
                                                                  << "事務所";
    QTest::newRow("merged on the laptop") << "merge"
                                          << "03-1111-1111";
}

void TestSync::deletes_stay_restorable_in_the_office() {
    QFETCH(QString, case_name);
    QFETCH(QString, restored_tel);
    Pair pair;
    Database& office = pair.theirs();
    // A visit made on the laptop moves with the merge; its key in the office is another.
    QStringList boxes = {QStringLiteral("佐藤"), QStringLiteral("2026/12/06"), QStringLiteral("ノートの訪問"),
                         QString()};
    save_activity(pair.mine(), activity_kind(Activity::Visit), pair.yamada, boxes, kToday);
    if (case_name == QLatin1String("merge"))
        merge_customers(pair.mine(), pair.suzuki, pair.yamada, QStringLiteral("佐藤"));
    else
        delete_customer(pair.mine(), pair.yamada, QStringLiteral("佐藤"));
    if (case_name == QLatin1String("delete changed"))
        update_customer(office, edited(office, pair.yamada, QStringLiteral("TEL"), QStringLiteral("事務所")),
                        pair.yamada);
    QCOMPARE(pair.laptop->sync(SyncDecision::Laptop).exit_status(), 0);
    QCOMPARE(one(office, QStringLiteral("select count(*) from 顧客 where 顧客ID=") + pair.yamada),
             QStringLiteral("0"));
    const QVector<DeletedEntry> entries = list_deleted_rows(office);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().key, pair.yamada);
    QCOMPARE(restore_deleted_rows(office, entries.first().id), QString());
    QCOMPARE(one(office, QStringLiteral("select TEL from 顧客 where 顧客ID=") + pair.yamada), restored_tel);
    // Undoing the merge moves the visits back to the restored customer, the laptop's one too.
    QCOMPARE(one(office, QStringLiteral("select count(*) from 訪問 where 顧客ID=") + pair.yamada),
             QStringLiteral("2"));
}

void TestSync::office_out_of_reach_leaves_the_laptop_working() {
    Pair pair;
    update_customer(pair.mine(),
                    edited(pair.mine(), pair.yamada, QStringLiteral("TEL"), QStringLiteral("ノート")),
                    pair.yamada);
    pair.office.db().close();
    const QString file = pair.office.database_path();
    QVERIFY(QFile::rename(file, file + QStringLiteral(".away")));
    try {
        pair.laptop->sync();
        QFAIL("synced without an office");
    } catch (const OfficeUnreachable& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("事務所のデータベースに接続できません。")),
                 qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("このまま作業を続けられます")));
    }
    update_customer(pair.mine(),
                    edited(pair.mine(), pair.suzuki, QStringLiteral("TEL"), QStringLiteral("ノート")),
                    pair.suzuki);
    QCOMPARE(pending_change_count(pair.mine()), 2);
    QVERIFY(QFile::rename(file + QStringLiteral(".away"), file));
    QCOMPARE(pair.laptop->sync().text(), QStringLiteral("2 件送信, 0 件受信, 0 件の競合"));
}

void TestSync::templates_are_found_by_name() {
    Pair pair;
    pair.office.exec(QStringLiteral(
        "insert into テンプレート (名称,本文) values('ご案内','事務所'), ('お礼','お礼の本文')"));
    LaptopCopy laptop(pair.theirs(), identity_of(pair.office), kToday);
    laptop.exec(QStringLiteral("update テンプレート set 名称='お礼状' where 名称='お礼'"));
    laptop.exec(QStringLiteral("insert into テンプレート (名称,本文) values('新年','ノート')"));
    pair.office.exec(QStringLiteral("insert into テンプレート (名称,本文) values('新年','事務所')"));
    int asked = 0;
    const SyncSummary summary = laptop.sync([&](const SyncConflict& c) {
        ++asked;
        [&] { QCOMPARE(c.kind, ConflictKind::BothAdded); }();
        SyncDecision d;
        d.choice = SyncDecision::Laptop;
        return d;
    });
    QCOMPARE(asked, 1);
    QCOMPARE(summary.exit_status(), 0);
    QCOMPARE(table_dump(pair.theirs(), QStringLiteral("テンプレート")),
             (QStringList{QStringLiteral("お礼状|お礼の本文"), QStringLiteral("ご案内|事務所"),
                          QStringLiteral("新年|ノート")}));
    QCOMPARE(table_dump(laptop.db(), QStringLiteral("テンプレート")),
             table_dump(pair.theirs(), QStringLiteral("テンプレート")));
}

void TestSync::sales_cli_exit_statuses() {
    const QString cli = qEnvironmentVariable("SALES_CLI");
    if (cli.isEmpty())
        QSKIP("SALES_CLI is not set (ctest sets it)");
    Pair pair;
    QTemporaryDir dir;
    auto run = [&](const QStringList& arguments, QString* output = nullptr) {
        QProcess p;
        p.start(cli, arguments);
        p.waitForFinished(60000);
        if (output)
            *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    const QString copy = dir.path() + QStringLiteral("/copy");
    QString text;
    QCOMPARE(run({QStringLiteral("--folder"), pair.office.path(), QStringLiteral("checkout"), copy}, &text),
             0);
    QVERIFY2(text.startsWith(QStringLiteral("持ち出しました")), qPrintable(text));
    Database laptop;
    laptop.open_sqlite_file(copy + QStringLiteral("/sales.mdb"), false);
    laptop.execute_sql(QStringLiteral("update 顧客 set TEL='ノート' where 顧客ID=") + pair.yamada);
    pair.office.exec(QStringLiteral("update 顧客 set TEL='事務所' where 顧客ID=") + pair.yamada);
    laptop.close();
    QCOMPARE(run({QStringLiteral("--folder"), copy, QStringLiteral("sync")}, &text), 3);
    QVERIFY2(text.startsWith(QStringLiteral("0 件送信, 0 件受信, 1 件の競合")), qPrintable(text));
    QCOMPARE(run({QStringLiteral("--folder"), copy, QStringLiteral("sync"), QStringLiteral("--on-conflict"),
                  QStringLiteral("sideways")}),
             2);
    QCOMPARE(run({QStringLiteral("--folder"), copy, QStringLiteral("sync"),
                  QStringLiteral("--on-conflict=laptop")},
                 &text),
             0);
    QCOMPARE(pair.office.value(QStringLiteral("select TEL from 顧客 where 顧客ID=") + pair.yamada),
             QStringLiteral("ノート"));
    QCOMPARE(run({QStringLiteral("--folder"), pair.office.path(), QStringLiteral("sync")}, &text), 1);
    QVERIFY2(text.contains(QStringLiteral("持ち出したコピーではありません")), qPrintable(text));
    pair.office.db().close();
    QVERIFY(
        QFile::rename(pair.office.database_path(), pair.office.database_path() + QStringLiteral(".away")));
    QCOMPARE(run({QStringLiteral("--folder"), copy, QStringLiteral("sync")}, &text), 1);
    QVERIFY2(text.contains(QStringLiteral("事務所のデータベースに接続できません")), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
