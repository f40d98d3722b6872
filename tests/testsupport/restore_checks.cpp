#include "restore_checks.h"

#include <QtTest>

#include "app/session.h"
#include "customers/customer_merge.h"
#include "customers/customer_store.h"
#include "db/database.h"
#include "db/deleted_rows.h"
#include "mail/mail_templates.h"
#include "masters/master_records.h"
#include "records/record_list.h"

namespace restore_checks {

namespace {

QString value(Database& db, const QString& statement) {
    return db.query_rows(statement, 1)(0, 1);
}

QString insert_customer_row(Database& db, const QString& values) {
    db.execute_sql("insert into 顧客 (顧客名,顧客名かな,TEL,Email,住所) values(" + values + ")");
    return value(db, "select max(顧客ID) from 顧客");
}

// One row of every activity kind for the customer; the order gets two lines.
void add_activity(Database& db, const QString& id, const QString& name) {
    db.execute_sql("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) values(" + id +
                   ",'佐藤','2026/11/01','机',1000,10,0)");
    const QString order = value(db, "select max(受注ID) from 受注");
    for (int i = 0; i < 2; ++i)
        db.execute_sql("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(" + order + ",1," +
                       sql_text(name) + ",1,500,'2026/11/01')");
    db.execute_sql("insert into 見積もり (顧客ID,社員,提出日,名称,見積もり金額,消費税率,内容) values(" + id +
                   ",'佐藤','2026/11/02','見積',2000,10,'')");
    db.execute_sql("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(" + id +
                   ",'佐藤','2026/11/03','訪問','')");
    db.execute_sql("insert into 問い合わせ (顧客ID,社員,名称,受付日,状況,内容) values(" + id +
                   ",'佐藤','質問','2026/11/04','未対応','')");
    db.execute_sql("insert into クレーム (顧客ID,社員,名称,受付日,内容,回答日,回答内容) values(" + id +
                   ",'佐藤','苦情','2026/11/05','',NULL,'')");
    db.execute_sql("insert into 原価 (顧客ID,受注ID,名称,登録日,金額) values(" + id + "," + order +
                   ",'運送費','2026/11/06',300)");
}

const QStringList kActivityTables{"受注", "見積もり", "訪問", "問い合わせ", "クレーム", "原価"};

const QString kNull = QStringLiteral("<NULL>");

QString literal_or_null(const QString& v) {
    return v == kNull ? QStringLiteral("NULL") : sql_text(v);
}

// query_rows gives NULL as "-".
QString null_shown(const QString& v) {
    return v == QLatin1String("-") ? kNull : v;
}

QString add_order(Database& db, const QString& customer) {
    db.execute_sql("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) values(" + customer +
                   ",'佐藤','2026/11/01','机',1000,10,0)");
    return value(db, "select max(受注ID) from 受注");
}

void add_line(Database& db, const QString& order, int goods, const QString& name) {
    db.execute_sql("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(" + order + "," +
                   QString::number(goods) + "," + literal_or_null(name) + ",1,500,'2026/11/01')");
}

QStringList line_names(Database& db, const QStringList& orders) {
    const ResultTable rows = db.query_rows(
        "select 顧客名 from 受注明細 where 受注ID in (" + orders.join(',') + ") order by 受注ID,商品ID", 1);
    QStringList names;
    for (int r = 1; r <= rows.row_count(); ++r)
        names << null_shown(rows(0, r));
    return names;
}

QStringList counts_of(Database& db, const QString& id) {
    QStringList out;
    for (const QString& t : kActivityTables)
        out << value(db, "select count(*) from " + t + " where 顧客ID=" + id);
    return out;
}

}  // namespace

void check_merge_and_undo(Database& db) {
    const QString kept = insert_customer_row(db, "'山田商事','やまだしょうじ',NULL,'k@example.jp',''");
    const QString other = insert_customer_row(
        db, "'ヤマダ商事','やまだしょうじ','03-1111-2222','o@example.jp','東京都千代田区'");
    add_activity(db, other, "ヤマダ商事");
    add_activity(db, kept, "山田商事");
    const QStringList one{"1", "1", "1", "1", "1", "1"};

    const MergePlan plan = merge_customers(db, kept, other, "佐藤");
    QCOMPARE(plan.moves.size(), 6);
    QCOMPARE(counts_of(db, kept), (QStringList{"2", "2", "2", "2", "2", "2"}));
    QCOMPARE(counts_of(db, other), (QStringList{"0", "0", "0", "0", "0", "0"}));
    QCOMPARE(value(db, "select count(*) from 受注明細 where 顧客名='山田商事'"), QStringLiteral("4"));
    QCOMPARE(value(db, "select count(*) from 顧客"), QStringLiteral("1"));
    // Empty fields filled from the other; filled ones kept.
    const ResultTable merged = db.query_rows("select TEL,Email,住所 from 顧客 where 顧客ID=" + kept, 3);
    QCOMPARE(merged(0, 1), QStringLiteral("03-1111-2222"));
    QCOMPARE(merged(1, 1), QStringLiteral("k@example.jp"));
    QCOMPARE(merged(2, 1), QStringLiteral("東京都千代田区"));
    const QVector<DeletedEntry> entries = list_deleted_rows(db);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().kind, QStringLiteral("統合"));
    QCOMPARE(entries.first().key, other);
    QCOMPARE(entries.first().employee, QStringLiteral("佐藤"));

    QCOMPARE(restore_deleted_rows(db, entries.first().id), QString());
    QCOMPARE(counts_of(db, kept), one);
    QCOMPARE(counts_of(db, other), one);
    QCOMPARE(value(db, "select count(*) from 受注明細 where 顧客名='ヤマダ商事'"), QStringLiteral("2"));
    const ResultTable back = db.query_rows("select 顧客名,TEL,Email,住所 from 顧客 where 顧客ID=" + other, 4);
    QCOMPARE(back.row_count(), 1);
    QCOMPARE(back(0, 1), QStringLiteral("ヤマダ商事"));
    QCOMPARE(back(1, 1), QStringLiteral("03-1111-2222"));
    QCOMPARE(back(2, 1), QStringLiteral("o@example.jp"));
    QCOMPARE(back(3, 1), QStringLiteral("東京都千代田区"));
    const ResultTable unfilled = db.query_rows("select TEL,住所 from 顧客 where 顧客ID=" + kept, 2);
    QCOMPARE(unfilled(0, 1), QStringLiteral("-"));  // NULL again
    QCOMPARE(unfilled(1, 1), QString());
    QVERIFY(list_deleted_rows(db).isEmpty());
}

void add_taken_key_rows() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"顧客", "社員", "商品", "テンプレート", "受注"})
        QTest::newRow(kind) << QString::fromUtf8(kind);
}

void check_restore_with_taken_key(Database& db, const QString& kind) {
    // Per kind: the table, its key column, the statement making the row, the one that takes its key
    // afterwards (%1 the key), and the column whose text tells the two apart.
    QString table, key_column, make, blocker, shown;
    if (kind == "顧客") {
        table = "顧客", key_column = "顧客ID", shown = "顧客名";
        make =
            "insert into 顧客 (顧客名,顧客名かな,TEL) values('田中商店','たなかしょうてん','03-5555-0000')";
        blocker = "insert into 顧客 (顧客ID,顧客名) values(%1,'別の顧客')";
    } else if (kind == "社員") {
        table = "社員", key_column = "社員ID", shown = "社員";
        make = "insert into 社員 (社員,社員かな,email,部署) values('鈴木','すずき','s@example.jp','営業')";
        blocker = "insert into 社員 (社員ID,社員) values(%1,'別の社員')";
    } else if (kind == "商品") {
        table = "商品", key_column = "商品ID", shown = "商品名";
        make = "insert into 商品 (分類コード,分類,商品名,単価) values(3,'家具','椅子',12000)";
        blocker = "insert into 商品 (商品ID,商品名) values(%1,'別の商品')";
    } else if (kind == "テンプレート") {
        table = "テンプレート", key_column = "名称", shown = "本文";
        make = "insert into テンプレート (名称,本文) values('ご案内','{顧客名} 様\nいつも')";
        blocker = "insert into テンプレート (名称,本文) values('ご案内','別の本文')";
    } else {
        table = "受注", key_column = "受注ID", shown = "名称";
        make =
            "insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
            "values(1,'佐藤','2026/11/01','机',1000,8.5,0)";
        blocker = "insert into 受注 (受注ID,名称) values(%1,'別の受注')";
    }
    db.execute_sql(make);
    const QString key = kind == "テンプレート" ? QStringLiteral("ご案内")
                                               : value(db, "select max(" + key_column + ") from " + table);
    const QString where = " where " + key_column + "=" + (kind == "テンプレート" ? sql_text(key) : key);
    const QString original = value(db, "select " + shown + " from " + table + where);

    if (kind == "顧客") {
        delete_customer(db, key, "佐藤");
    } else if (kind == "社員") {
        delete_master(db, MasterKind::Employees, key, "佐藤");
    } else if (kind == "商品") {
        delete_master(db, MasterKind::Goods, key, "佐藤");
    } else if (kind == "テンプレート") {
        delete_template(db, key, "佐藤");
    } else {
        TableItem item;
        item.table_name = table;
        item.key_field = key_column;
        QVERIFY(delete_record(db, item, key, "佐藤"));
    }
    QCOMPARE(value(db, "select count(*) from " + table + where), QStringLiteral("0"));
    const QVector<DeletedEntry> entries = list_deleted_rows(db);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().table, table);
    QCOMPARE(entries.first().key, key);

    db.execute_sql(blocker.arg(key));
    const QString refused = restore_deleted_rows(db, entries.first().id);
    QVERIFY2(refused.contains("すでに別のデータが使っています"), qPrintable(refused));
    QCOMPARE(value(db, "select count(*) from " + table + where), QStringLiteral("1"));
    QVERIFY(value(db, "select " + shown + " from " + table + where).startsWith("別の"));
    QCOMPARE(list_deleted_rows(db).size(), 1);

    db.execute_sql("delete from " + table + where);
    QCOMPARE(restore_deleted_rows(db, entries.first().id), QString());
    QCOMPARE(value(db, "select " + shown + " from " + table + where), original);
    QVERIFY(list_deleted_rows(db).isEmpty());
    if (kind == "受注")  // a decimal and a date come back as they were
        QCOMPARE(db.query_rows("select 消費税率,受注日 from 受注" + where, 2)(1, 1),
                 QStringLiteral("2026/11/01"));
}

void add_merge_line_name_rows() {
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("merged");
    QTest::addColumn<QStringList>("undone");
    const QStringList two{"山田商事", "山田商事"}, three{"山田商事", "山田商事", "山田商事"};
    QTest::newRow("kept customer made from mail, without a name")
        << kNull << "山田商事" << QStringList{"1:山田商事", "1:山田商事"} << two << two;
    QTest::newRow("names from the time of the order come back")
        << "山田商事"
        << "ヤマダ商事" << QStringList{"1:ヤマダ商店", "1:ヤマダ商店", "2:ヤマダ商事"} << three
        << QStringList{"ヤマダ商店", "ヤマダ商店", "ヤマダ商事"};
    QTest::newRow("lines of one order with different names")
        << "山田商事"
        << "ヤマダ商事" << QStringList{"1:ヤマダ商事", "1:" + kNull, "1:山田商事"} << three
        << QStringList{"ヤマダ商事", kNull, "山田商事"};
    QTest::newRow("a line that held the kept name already")
        << "山田商事"
        << "ヤマダ" << QStringList{"1:山田商事", "2:ヤマダ"} << two << QStringList{"山田商事", "ヤマダ"};
    QTest::newRow("neither customer has a name") << kNull << kNull << QStringList{"1:旧名", "2:" + kNull}
                                                 << QStringList{"旧名", kNull} << QStringList{"旧名", kNull};
}

void check_merge_line_names(Database& db, const QString& kept, const QString& other, const QStringList& lines,
                            const QStringList& merged, const QStringList& undone) {
    // The kept one as the mail intake makes a customer: an address only, no name.
    db.execute_sql("insert into 顧客 (顧客名,Email) values(" + literal_or_null(kept) + ",'k@example.jp')");
    const QString kept_id = value(db, "select max(顧客ID) from 顧客");
    db.execute_sql("insert into 顧客 (顧客名,顧客名かな,Email) values(" + literal_or_null(other) +
                   ",'やまだしょうじ','o@example.jp')");
    const QString other_id = value(db, "select max(顧客ID) from 顧客");
    QStringList orders;
    int goods = 0;
    for (const QString& line : lines) {
        const int order = line.section(':', 0, 0).toInt();
        while (orders.size() < order)
            orders << add_order(db, other_id);
        add_line(db, orders.at(order - 1), ++goods, line.section(':', 1));
    }

    merge_customers(db, kept_id, other_id, "佐藤");
    QCOMPARE(line_names(db, orders), merged);
    QCOMPARE(restore_deleted_rows(db, list_deleted_rows(db).value(0).id), QString());
    QCOMPARE(line_names(db, orders), undone);
}

void add_exact_value_rows() {
    QTest::addColumn<QString>("value");
    for (const QString& v :
         {QString(QChar(0xFEFF)) + "東京都", QString(QChar(0xFEFF)), QStringLiteral(" 千代田区　"),
          QStringLiteral("O'Neil \\ \"本店\"\r\n😀"), QStringLiteral("本町%1丁目%9-%10"), QString(), kNull})
        QTest::newRow(qPrintable(v.toUtf8().toHex())) << v;
}

void check_restore_gives_back_exact_value(Database& db, const QString& address) {
    db.execute_sql(
        "insert into 顧客 (顧客名,顧客名かな,Email,住所) values('東京商事','とうきょう','t@example.jp'," +
        literal_or_null(address) + ")");
    const QString id = value(db, "select max(顧客ID) from 顧客");
    delete_customer(db, id, "佐藤");
    QCOMPARE(restore_deleted_rows(db, list_deleted_rows(db).value(0).id), QString());
    QCOMPARE(null_shown(value(db, "select 住所 from 顧客 where 顧客ID=" + id)), address);

    // Filled into another customer by a merge, and taken out again by its undo.
    db.execute_sql("insert into 顧客 (顧客名,Email) values('東京商事（本社）','h@example.jp')");
    const QString kept = value(db, "select max(顧客ID) from 顧客");
    merge_customers(db, kept, id, "佐藤");
    QCOMPARE(restore_deleted_rows(db, list_deleted_rows(db).value(0).id), QString());
    QCOMPARE(null_shown(value(db, "select 住所 from 顧客 where 顧客ID=" + id)), address);
    QCOMPARE(null_shown(value(db, "select 住所 from 顧客 where 顧客ID=" + kept)), kNull);
}

void add_text_key_rows() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("kept_before_kind");
    QTest::addColumn<bool>("restored");
    QTest::newRow("2024 beside 02024") << "2024"
                                       << "02024" << false << true;
    QTest::newRow("the same, kept before the kind was") << "2024"
                                                        << "02024" << true << true;
    QTest::newRow("leading blank") << " ご挨拶"
                                   << "ご挨拶" << false << true;
    QTest::newRow("leading blank, kept before the kind was") << " ご挨拶"
                                                             << "ご挨拶" << true << true;
    QTest::newRow("the same title is taken") << "2024"
                                             << "2024" << false << false;
}

void check_restore_text_key(Database& db, const QString& title, const QString& other, bool kept_before_kind,
                            bool restored) {
    QCOMPARE(add_template(db, title, "本文1"), QString());
    delete_template(db, title, "佐藤");
    if (kept_before_kind)  // as older versions kept it: no kind, the key trimmed
        db.execute_sql("update 削除済みデータ set キー種類=NULL, キー=" + sql_text(title.trimmed()));
    QCOMPARE(add_template(db, other, "本文2"), QString());
    const QString message = restore_deleted_rows(db, list_deleted_rows(db).value(0).id);
    QVERIFY2(message.isEmpty() == restored, qPrintable(message));
    // The title exactly as it was, beside the other; or only the other.
    const ResultTable rows = db.query_rows("select 名称 from テンプレート order by 本文", 1);
    QCOMPARE(rows.row_count(), restored ? 2 : 1);
    QCOMPARE(rows(0, 1), restored ? title : other);
    QCOMPARE(list_deleted_rows(db).size(), restored ? 0 : 1);
}

}  // namespace restore_checks
