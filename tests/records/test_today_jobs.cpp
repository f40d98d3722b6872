#include <QTest>

#include "records/today_jobs.h"
#include "test_folder.h"

namespace {

struct Fixture {
    TestFolder folder;
    QString yamada = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));
    QString kawai = folder.add_customer(QStringLiteral("河合工業"), QStringLiteral("かわいこうぎょう"));
};

// A value for a column: NULL for a null QString, otherwise a quoted text.
QString literal(const QString& value) {
    return value.isNull() ? QStringLiteral("NULL") : sql_text(value);
}

}  // namespace

class TestTodayJobs : public QObject {
    Q_OBJECT

private slots:
    void only_email_inquiries_are_open_data();
    void only_email_inquiries_are_open();
    void claims_without_answer_are_open_data();
    void claims_without_answer_are_open();
    void business_is_listed_newest_first_data();
    void business_is_listed_newest_first();
    void empty_database_gives_empty_lists();
};

void TestTodayJobs::only_email_inquiries_are_open_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("listed");
    QTest::newRow("email") << QStringLiteral("email") << true;
    QTest::newRow("empty") << QStringLiteral("") << false;
    QTest::newRow("NULL") << QString() << false;
    QTest::newRow("mail intake") << QStringLiteral("email受付") << false;
    QTest::newRow("in hand") << QStringLiteral("対応中") << false;
    QTest::newRow("upper case") << QStringLiteral("EMAIL") << false;
}

void TestTodayJobs::only_email_inquiries_are_open() {
    QFETCH(QString, status);
    QFETCH(bool, listed);
    Fixture f;
    f.folder.exec(QStringLiteral("insert into 問い合わせ (顧客ID,社員,名称,受付日,状況,内容) "
                                 "values(%1,'佐藤','在庫の確認','2026/12/01',%2,'本文')")
                      .arg(f.yamada, literal(status)));
    const QStringList expected =
        listed ? QStringList{QStringLiteral("山田商事 : 在庫の確認")} : QStringList{};
    QCOMPARE(unhandled_inquiries(f.folder.db()), expected);
}

void TestTodayJobs::claims_without_answer_are_open_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("listed");
    QTest::newRow("empty") << QStringLiteral("") << true;
    QTest::newRow("NULL") << QString() << true;
    QTest::newRow("answered") << QStringLiteral("交換しました") << false;
    QTest::newRow("blank") << QStringLiteral(" ") << false;
}

void TestTodayJobs::claims_without_answer_are_open() {
    QFETCH(QString, answer);
    QFETCH(bool, listed);
    Fixture f;
    f.folder.exec(QStringLiteral("insert into クレーム (顧客ID,社員,名称,受付日,内容,回答日,回答内容) "
                                 "values(%1,'佐藤','納品遅れ','2026/12/01','本文','2026/12/02',%2)")
                      .arg(f.kawai, literal(answer)));
    const QStringList expected = listed ? QStringList{QStringLiteral("河合工業 : 納品遅れ")} : QStringList{};
    QCOMPARE(unanswered_claims(f.folder.db()), expected);
}

void TestTodayJobs::business_is_listed_newest_first_data() {
    QTest::addColumn<bool>("orders");
    QTest::newRow("orders") << true;
    QTest::newRow("estimates") << false;
}

void TestTodayJobs::business_is_listed_newest_first() {
    QFETCH(bool, orders);
    Fixture f;
    const QString insert = orders ? QStringLiteral(
                                        "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) "
                                        "values(%1,'佐藤','%2','%3',%4)")
                                  : QStringLiteral(
                                        "insert into 見積もり (顧客ID,社員,提出日,名称,見積もり金額) "
                                        "values(%1,'佐藤','%2','%3',%4)");
    f.folder.exec(
        insert.arg(f.yamada, QStringLiteral("2026/03/01"), QStringLiteral("三月"), QStringLiteral("300")));
    f.folder.exec(
        insert.arg(f.kawai, QStringLiteral("2026/11/30"), QStringLiteral("十一月"), QStringLiteral("1100")));
    f.folder.exec(
        insert.arg(f.yamada, QStringLiteral("2025/12/31"), QStringLiteral("昨年"), QStringLiteral("NULL")));
    const QStringList expected{
        QStringLiteral("2026/11/30 河合工業\t十一月\t1100"),
        QStringLiteral("2026/03/01 山田商事\t三月\t300"),
        QStringLiteral("2025/12/31 山田商事\t昨年\t-"),
    };
    QCOMPARE(orders ? recent_orders(f.folder.db()) : recent_estimates(f.folder.db()), expected);
}

void TestTodayJobs::empty_database_gives_empty_lists() {
    TestFolder folder;
    const TodayJobs jobs = load_today_jobs(folder.db());
    QVERIFY(jobs.inquiries.isEmpty());
    QVERIFY(jobs.claims.isEmpty());
    QVERIFY(jobs.orders.isEmpty());
    QVERIFY(jobs.estimates.isEmpty());
}

QTEST_GUILESS_MAIN(TestTodayJobs)
#include "test_today_jobs.moc"
