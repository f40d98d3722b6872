#include "records/activity_entry.h"

#include <QTest>

#include "records/check.h"
#include "records/number_text.h"
#include "records/order_entry.h"
#include "test_folder.h"

Q_DECLARE_METATYPE(Activity)

namespace {

const QDate kToday(2026, 12, 8);
const QString kTodayText = QStringLiteral("2026/12/08");

struct Fixture {
    TestFolder folder;
    QString customer = folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだしょうじ"));

    QStringList save(Activity activity, QStringList& boxes) {
        return save_activity(folder.db(), activity_kind(activity), customer, boxes, kToday);
    }
    QStringList row(const QString& statement, int columns) {
        const ResultTable t = folder.rows(statement, columns);
        QStringList values;
        for (int c = 0; c < columns; ++c)
            values << t(c, 1);
        return values;
    }
};

const char* table_of(Activity activity) {
    switch (activity) {
        case Activity::Visit:
            return "訪問";
        case Activity::Estimate:
            return "見積もり";
        case Activity::Claim:
            return "クレーム";
        case Activity::Inquiry:
            return "問い合わせ";
    }
    return "";
}

}  // namespace

class TestActivityEntry : public QObject {
    Q_OBJECT

private slots:
    void opening_values_data();
    void opening_values();
    void each_screen_stores_its_row_data();
    void each_screen_stores_its_row();
    void tomorrow_stores_nothing_data();
    void tomorrow_stores_nothing();
    void short_year_is_rewritten_and_stored();
    void claim_date_messages_data();
    void claim_date_messages();
    void claim_with_empty_answer_stores_empty_text();
    void estimate_numbers_data();
    void estimate_numbers();
    void estimate_non_number_is_refused_data();
    void estimate_non_number_is_refused();
    void quote_and_backslash_are_stored_unchanged();
};

void TestActivityEntry::opening_values_data() {
    QTest::addColumn<Activity>("activity");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("visit") << Activity::Visit << QStringList{"佐藤", kTodayText, "", ""};
    QTest::newRow("inquiry") << Activity::Inquiry << QStringList{"佐藤", kTodayText, "", ""};
    QTest::newRow("estimate") << Activity::Estimate << QStringList{"佐藤", kTodayText, "", "0", "8", ""};
    QTest::newRow("claim") << Activity::Claim << QStringList{"佐藤", kTodayText, "", "", kTodayText, ""};
}

void TestActivityEntry::opening_values() {
    QFETCH(Activity, activity);
    QFETCH(QStringList, values);
    QCOMPARE(activity_opening_values(activity_kind(activity), QStringLiteral("佐藤"), kTodayText,
                                     QStringLiteral("8")),
             values);
}

void TestActivityEntry::each_screen_stores_its_row_data() {
    QTest::addColumn<Activity>("activity");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("visit") << Activity::Visit << QStringList{"佐藤", "2026/12/01", "定期訪問", "新製品の説明"}
                           << "select 社員,訪問日,名称,内容 from 訪問"
                           << QStringList{"佐藤", "2026/12/01", "定期訪問", "新製品の説明"};
    QTest::newRow("inquiry") << Activity::Inquiry << QStringList{"佐藤", "2026/12/02", "納期", "いつ届くか"}
                             << "select 社員,受付日,名称,内容 from 問い合わせ"
                             << QStringList{"佐藤", "2026/12/02", "納期", "いつ届くか"};
    QTest::newRow("estimate") << Activity::Estimate
                              << QStringList{"佐藤", "2026/12/03", "改装工事", "1,200,000", "10", "概算"}
                              << "select 社員,提出日,名称,見積もり金額,消費税率,内容 from 見積もり"
                              << QStringList{"佐藤", "2026/12/03", "改装工事", "1200000", "10", "概算"};
    QTest::newRow("claim") << Activity::Claim << QStringList{"佐藤",           "2026/12/04", "破損",
                                                             "角が欠けていた", "2026/12/05", "交換した"}
                           << "select 社員,受付日,名称,内容,回答日,回答内容 from クレーム"
                           << QStringList{"佐藤",           "2026/12/04", "破損",
                                          "角が欠けていた", "2026/12/05", "交換した"};
}

void TestActivityEntry::each_screen_stores_its_row() {
    QFETCH(Activity, activity);
    QFETCH(QStringList, boxes);
    QFETCH(QString, query);
    QFETCH(QStringList, stored);
    Fixture f;
    QCOMPARE(f.save(activity, boxes), QStringList());
    QCOMPARE(f.folder.count(QString::fromUtf8(table_of(activity))), 1);
    QCOMPARE(f.row(query, stored.size()), stored);
    QCOMPARE(f.folder.value(QStringLiteral("select 顧客ID from ") + QString::fromUtf8(table_of(activity))),
             f.customer);
}

void TestActivityEntry::tomorrow_stores_nothing_data() {
    QTest::addColumn<Activity>("activity");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("visit") << Activity::Visit << QStringList{"佐藤", "2026/12/09", "a", "b"}
                           << QStringList{kDateMessage};
    QTest::newRow("inquiry") << Activity::Inquiry << QStringList{"佐藤", "2026/12/09", "a", "b"}
                             << QStringList{kDateMessage};
    QTest::newRow("estimate") << Activity::Estimate << QStringList{"佐藤", "2026/12/09", "a", "0", "10", "b"}
                              << QStringList{kDateMessage};
    QTest::newRow("claim received tomorrow")
        << Activity::Claim << QStringList{"佐藤", "2026/12/09", "a", "b", "2026/12/08", "c"}
        << QStringList{kDateMessageClaim};
    QTest::newRow("claim answered tomorrow")
        << Activity::Claim << QStringList{"佐藤", "2026/12/08", "a", "b", "2026/12/09", "c"}
        << QStringList{kDateMessageClaim, kDateMessageClaimSecond};
}

void TestActivityEntry::tomorrow_stores_nothing() {
    QFETCH(Activity, activity);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, messages);
    Fixture f;
    QCOMPARE(f.save(activity, boxes), messages);
    QCOMPARE(f.folder.count(QString::fromUtf8(table_of(activity))), 0);
}

void TestActivityEntry::short_year_is_rewritten_and_stored() {
    Fixture f;
    QStringList boxes{"佐藤", " 03/1/5 ", "定期訪問", ""};
    QCOMPARE(f.save(Activity::Visit, boxes), QStringList());
    QCOMPARE(boxes.at(1), QStringLiteral("2003/01/05"));
    QCOMPARE(f.folder.value(QStringLiteral("select 訪問日 from 訪問")), QStringLiteral("2003/01/05"));
}

void TestActivityEntry::claim_date_messages_data() {
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("answered");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("received_after");
    QTest::addColumn<QString>("answered_after");

    QTest::newRow("empty answer date")
        << "2026/12/01"
        << "" << QStringList{kDateMessageClaim, kDateMessageClaimSecond} << "2026/12/01"
        << "";
    QTest::newRow("empty receipt date") << ""
                                        << "26/12/2" << QStringList{kDateMessageClaim} << ""
                                        << "2026/12/02";
    QTest::newRow("both empty") << ""
                                << ""
                                << QStringList{kDateMessageClaim, kDateMessageClaim, kDateMessageClaimSecond}
                                << ""
                                << "";
    QTest::newRow("answer not a date")
        << "2026/12/01"
        << "未定" << QStringList{kDateMessageClaim, kDateMessageClaimSecond} << "2026/12/01"
        << "未定";
}

void TestActivityEntry::claim_date_messages() {
    QFETCH(QString, received);
    QFETCH(QString, answered);
    QFETCH(QStringList, messages);
    QFETCH(QString, received_after);
    QFETCH(QString, answered_after);
    Fixture f;
    QStringList boxes{"佐藤", received, "破損", "内容", answered, ""};
    QCOMPARE(f.save(Activity::Claim, boxes), messages);
    QCOMPARE(boxes.at(1), received_after);
    QCOMPARE(boxes.at(4), answered_after);
    QCOMPARE(f.folder.count(QStringLiteral("クレーム")), 0);
}

void TestActivityEntry::claim_with_empty_answer_stores_empty_text() {
    Fixture f;
    QStringList boxes{"佐藤", "2026/12/01", "破損", "内容", "2026/12/01", ""};
    QCOMPARE(f.save(Activity::Claim, boxes), QStringList());
    QCOMPARE(f.folder.value(QStringLiteral("select count(*) from クレーム where 回答内容=''")),
             QStringLiteral("1"));
}

void TestActivityEntry::estimate_numbers_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("tax_rate");
    QTest::addColumn<QString>("stored_amount");
    QTest::addColumn<QString>("stored_rate");
    QTest::newRow("commas removed") << "1,200,000"
                                    << "10"
                                    << "1200000"
                                    << "10";
    QTest::newRow("empty amount is 0") << ""
                                       << "10"
                                       << "0"
                                       << "10";
    QTest::newRow("decimal rate as typed") << "5000"
                                           << "8.5"
                                           << "5000"
                                           << "8.5";
    QTest::newRow("spaces around") << " 3000 "
                                   << " 8 "
                                   << "3000"
                                   << "8";
}

void TestActivityEntry::estimate_numbers() {
    QFETCH(QString, amount);
    QFETCH(QString, tax_rate);
    QFETCH(QString, stored_amount);
    QFETCH(QString, stored_rate);
    Fixture f;
    QStringList boxes{"佐藤", "2026/12/01", "見積", amount, tax_rate, ""};
    QCOMPARE(f.save(Activity::Estimate, boxes), QStringList());
    QCOMPARE(f.row(QStringLiteral("select 見積もり金額,消費税率 from 見積もり"), 2),
             (QStringList{stored_amount, stored_rate}));
}

void TestActivityEntry::estimate_non_number_is_refused_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("tax_rate");
    QTest::newRow("amount word") << "百万"
                                 << "10";
    QTest::newRow("amount injection") << "1,2);drop table 見積もり;--"
                                      << "10";
    QTest::newRow("rate empty") << "1000"
                                << "";
    QTest::newRow("rate with sign") << "1000"
                                    << "10%";
}

void TestActivityEntry::estimate_non_number_is_refused() {
    QFETCH(QString, amount);
    QFETCH(QString, tax_rate);
    Fixture f;
    QStringList boxes{"佐藤", "2026/12/01", "見積", amount, tax_rate, ""};
    QCOMPARE(f.save(Activity::Estimate, boxes), QStringList{kNumberMessage});
    QCOMPARE(f.folder.count(QStringLiteral("見積もり")), 0);
}

void TestActivityEntry::quote_and_backslash_are_stored_unchanged() {
    Fixture f;
    const QString title = QStringLiteral("It's 'quoted' C:\\data\\");
    const QString body = QStringLiteral("a''b\\'c');delete from 訪問;--");
    QStringList boxes{"佐藤", "2026/12/01", title, body};
    QCOMPARE(f.save(Activity::Visit, boxes), QStringList());
    QCOMPARE(f.row(QStringLiteral("select 名称,内容 from 訪問"), 2), (QStringList{title, body}));
}

QTEST_GUILESS_MAIN(TestActivityEntry)
#include "test_activity_entry.moc"
