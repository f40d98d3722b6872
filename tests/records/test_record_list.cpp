#include <QTest>

#include "records/check.h"
#include "records/number_text.h"
#include "records/record_list.h"
#include "test_folder.h"

namespace {

const QDate kToday(2026, 12, 8);
enum Entry { kOrders = 0, kEstimates, kVisits, kInquiries, kClaims, kCosts };

struct Fixture {
    TestFolder folder{kToday};
    QString yamada = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));
    QString kawai = folder.add_customer(QStringLiteral("河合工業"), QStringLiteral("かわいこうぎょう"));

    Session& session() { return folder.session(); }
    const TableItem& item(int entry) { return session().table_items.at(entry); }
    QString order(const QString& customer, const QString& employee, const QString& date) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,%2,'%3','注文',1000,10,0)")
                        .arg(customer, sql_text(employee), date));
        return folder.value(QStringLiteral("select max(受注ID) from 受注"));
    }
    // The edit boxes of a record: fields 1 to n-1.
    QStringList boxes(int entry, const QString& key) {
        const TableItem& it = item(entry);
        const ResultTable t =
            folder.rows(QStringLiteral("select * from %1 where %2=%3").arg(it.table_name, it.key_field, key),
                        it.field_count);
        QStringList values;
        for (int i = 1; i < it.field_count; ++i)
            values << t(i, 1);
        return values;
    }
    QStringList column(const ResultTable& t, int c) {
        QStringList values;
        for (int row = 1; row <= t.row_count(); ++row)
            values << t(c, row);
        return values;
    }
};

}  // namespace

class TestRecordList : public QObject {
    Q_OBJECT

private slots:
    void newest_first_by_the_entry_date_data();
    void newest_first_by_the_entry_date();
    void every_date_field_is_checked_data();
    void every_date_field_is_checked();
    void column_kinds_of_the_update();
    void bare_fields_must_be_numbers_data();
    void bare_fields_must_be_numbers();
    void edited_text_is_stored_exactly_data();
    void edited_text_is_stored_exactly();
    void delete_removes_only_that_record();
};

void TestRecordList::newest_first_by_the_entry_date_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("insert");  // %1 customer, %2 the date, %3 the other date column's value
    QTest::addColumn<int>("date_field");
    QTest::newRow("orders") << int(kOrders)
                            << "insert into 受注 (顧客ID,社員,受注日,名称) values(%1,'佐藤','%2','%3')" << 3;
    QTest::newRow("estimates") << int(kEstimates)
                               << "insert into 見積もり (顧客ID,社員,提出日,名称) values(%1,'佐藤','%2','%3')"
                               << 3;
    QTest::newRow("visits") << int(kVisits)
                            << "insert into 訪問 (顧客ID,社員,訪問日,名称) values(%1,'佐藤','%2','%3')" << 3;
    QTest::newRow("inquiries")
        << int(kInquiries) << "insert into 問い合わせ (顧客ID,社員,受付日,名称) values(%1,'佐藤','%2','%3')"
        << 4;
    QTest::newRow("claims") << int(kClaims)
                            << "insert into クレーム (顧客ID,社員,受付日,名称) values(%1,'佐藤','%2','%3')"
                            << 4;
    QTest::newRow("costs") << int(kCosts)
                           << "insert into 原価 (顧客ID,受注ID,登録日,名称) values(%1,0,'%2','%3')" << 4;
}

void TestRecordList::newest_first_by_the_entry_date() {
    QFETCH(int, entry);
    QFETCH(QString, insert);
    QFETCH(int, date_field);
    Fixture f;
    // The titles run against the dates, so ordering by the wrong column shows.
    f.folder.exec(insert.arg(f.yamada, QStringLiteral("2026/01/10"), QStringLiteral("c")));
    f.folder.exec(insert.arg(f.yamada, QStringLiteral("2026/09/10"), QStringLiteral("a")));
    f.folder.exec(insert.arg(f.yamada, QStringLiteral("2026/05/10"), QStringLiteral("b")));
    f.session().history_scope = 2;
    f.session().current_customer_id = f.yamada;
    QCOMPARE(record_list_date_field(entry), date_field);
    const ResultTable rows = load_record_list(f.folder.db(), f.session(), entry);
    QCOMPARE(rows.column_count(), f.item(entry).field_count);
    QCOMPARE(f.column(rows, date_field),
             QStringList(
                 {QStringLiteral("2026/09/10"), QStringLiteral("2026/05/10"), QStringLiteral("2026/01/10")}));
}

void TestRecordList::every_date_field_is_checked_data() {
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("answered");
    QTest::addColumn<int>("messages");
    QTest::newRow("both dates") << "2026/12/01"
                                << "26/12/2" << 0;
    QTest::newRow("answer date empty") << "2026/12/01"
                                       << "" << 1;
    QTest::newRow("receipt date empty") << ""
                                        << "2026/12/02" << 1;
    QTest::newRow("both empty") << ""
                                << "" << 2;
    QTest::newRow("answer tomorrow") << "2026/12/01"
                                     << "2026/12/09" << 1;
}

void TestRecordList::every_date_field_is_checked() {
    QFETCH(QString, received);
    QFETCH(QString, answered);
    QFETCH(int, messages);
    Fixture f;
    f.folder.exec(QStringLiteral("insert into クレーム (顧客ID,社員,名称,受付日,内容,回答日,回答内容) "
                                 "values(%1,'佐藤','納品遅れ','2026/11/01','本文','2026/11/02','')")
                      .arg(f.yamada));
    const QString key = f.folder.value(QStringLiteral("select max(クレームID) from クレーム"));
    QStringList boxes = f.boxes(kClaims, key);
    boxes[2] = QStringLiteral("件名変更");
    boxes[3] = received;
    boxes[5] = answered;
    const QStringList shown = update_record(f.folder.db(), f.item(kClaims), key, boxes, QString(), kToday);
    QCOMPARE(shown, QStringList(messages, kDateMessageClaim));
    const QString title = f.folder.value("select 名称 from クレーム where クレームID=" + key);
    QCOMPARE(title, messages == 0 ? QStringLiteral("件名変更") : QStringLiteral("納品遅れ"));
    if (messages == 0)
        QCOMPARE(f.folder.value("select 回答日 from クレーム where クレームID=" + key),
                 QStringLiteral("2026/12/02"));
}

void TestRecordList::column_kinds_of_the_update() {
    Fixture f;
    const QString key = f.order(f.yamada, QStringLiteral("佐藤"), QStringLiteral("2026/10/01"));
    // Boxes: 顧客ID, 社員, 受注日, 名称, 受注金額, 消費税率, 値引き.
    const QStringList boxes{f.kawai,
                            QStringLiteral("佐藤"),
                            QStringLiteral("2026/10/02"),
                            QStringLiteral("修理"),
                            QStringLiteral("12,000"),
                            QStringLiteral("8"),
                            QStringLiteral("0")};
    QString message;
    const QString statement = record_update_statement(f.item(kOrders), key, boxes, QString(), &message);
    QVERIFY(message.isEmpty());
    QVERIFY2(statement.contains(QStringLiteral("顧客ID=") + f.kawai + ","), qPrintable(statement));
    QVERIFY2(statement.contains(QStringLiteral("消費税率=8,")), qPrintable(statement));
    QVERIFY2(statement.contains(QStringLiteral("受注金額='12000'")), qPrintable(statement));
    QVERIFY2(statement.endsWith(QStringLiteral(" where 受注ID=") + key), qPrintable(statement));

    // The inquiry's 状況 takes the chosen status, whatever its box holds.
    f.folder.exec(QStringLiteral("insert into 問い合わせ (顧客ID,社員,名称,受付日,状況,内容) "
                                 "values(%1,'佐藤','在庫','2026/11/01','email','')")
                      .arg(f.yamada));
    const QString inquiry = f.folder.value(QStringLiteral("select max(問い合わせID) from 問い合わせ"));
    QStringList inquiry_boxes = f.boxes(kInquiries, inquiry);
    QVERIFY(update_record(f.folder.db(), f.item(kInquiries), inquiry, inquiry_boxes, QStringLiteral("対応済"),
                          kToday)
                .isEmpty());
    QCOMPARE(f.folder.value("select 状況 from 問い合わせ where 問い合わせID=" + inquiry),
             QStringLiteral("対応済"));
}

void TestRecordList::bare_fields_must_be_numbers_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("value");
    QTest::newRow("customer key with a condition") << 0 << "1 or 1=1";
    QTest::newRow("customer key empty") << 0 << "";
    QTest::newRow("tax rate text") << 5 << "8%; delete from 受注";
    QTest::newRow("amount with a fraction") << 4 << "1.5";
    QTest::newRow("amount text") << 4 << "千円";
}

void TestRecordList::bare_fields_must_be_numbers() {
    QFETCH(int, box);
    QFETCH(QString, value);
    Fixture f;
    const QString key = f.order(f.yamada, QStringLiteral("佐藤"), QStringLiteral("2026/10/01"));
    QStringList boxes = f.boxes(kOrders, key);
    boxes[3] = QStringLiteral("変更");
    boxes[box] = value;
    QCOMPARE(update_record(f.folder.db(), f.item(kOrders), key, boxes, QString(), kToday),
             QStringList{kNumberMessage});
    QCOMPARE(f.folder.value("select 名称 from 受注 where 受注ID=" + key), QStringLiteral("注文"));
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 1);
}

void TestRecordList::edited_text_is_stored_exactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("quote") << QStringLiteral("O'Reilly 様");
    QTest::newRow("backslashes") << QStringLiteral("C:\\temp\\ \\'");
    QTest::newRow("statement") << QStringLiteral("x'); delete from 受注; --");
}

void TestRecordList::edited_text_is_stored_exactly() {
    QFETCH(QString, text);
    Fixture f;
    const QString key = f.order(f.yamada, QStringLiteral("佐藤"), QStringLiteral("2026/10/01"));
    f.order(f.kawai, QStringLiteral("佐藤"), QStringLiteral("2026/10/03"));
    QStringList boxes = f.boxes(kOrders, key);
    boxes[3] = text;
    QVERIFY(update_record(f.folder.db(), f.item(kOrders), key, boxes, QString(), kToday).isEmpty());
    QCOMPARE(f.folder.value("select 名称 from 受注 where 受注ID=" + key), text);
    QCOMPARE(f.folder.value("select count(*) from 受注 where 名称='注文'"), QStringLiteral("1"));
}

void TestRecordList::delete_removes_only_that_record() {
    Fixture f;
    const QString key = f.order(f.yamada, QStringLiteral("佐藤"), QStringLiteral("2026/10/01"));
    const QString other = f.order(f.yamada, QStringLiteral("佐藤"), QStringLiteral("2026/10/02"));
    QVERIFY(!delete_record(f.folder.db(), f.item(kOrders), key + " or 1=1"));
    QCOMPARE(f.folder.count(QStringLiteral("受注")), 2);
    QVERIFY(delete_record(f.folder.db(), f.item(kOrders), key));
    QCOMPARE(f.folder.value(QStringLiteral("select 受注ID from 受注")), other);
}

QTEST_GUILESS_MAIN(TestRecordList)
#include "test_record_list.moc"
