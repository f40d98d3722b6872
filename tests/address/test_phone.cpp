// Phone numbers in the Japanese grouping, and the digits the search and the duplicate check use.
#include <QDir>
#include <QFile>
#include <QtTest>

#include "address/phone_number.h"
#include "customers/csv_import.h"
#include "customers/customer_store.h"
#include "customers/duplicates.h"
#include "test_folder.h"

namespace {

// The 18 fields of a customer with TEL (item 6) set.
QStringList customer_with_phone(const QString& name, const QString& tel) {
    QStringList fields(kCustomerFieldCount);
    fields[0] = name;
    fields[1] = QStringLiteral("てすと");
    fields[6] = tel;
    return fields;
}

}  // namespace

class TestPhone : public QObject {
    Q_OBJECT
private slots:
    void grouping_data();
    void grouping();
    void same_customer_whatever_grouping_data();
    void same_customer_whatever_grouping();
    void import_option_data();
    void import_option();
};

void TestPhone::grouping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("valid");
    QTest::newRow("Tokyo, digits only") << "0312345678"
                                        << "03-1234-5678" << true;
    QTest::newRow("already grouped") << "03-1234-5678"
                                     << "03-1234-5678" << true;
    QTest::newRow("full width with brackets") << "０３（１２３４）５６７８"
                                              << "03-1234-5678" << true;
    QTest::newRow("international form") << "+81 3 1234 5678"
                                        << "03-1234-5678" << true;
    QTest::newRow("mobile") << "09012345678"
                            << "090-1234-5678" << true;
    QTest::newRow("mobile, long vowel marks") << "０９０ー１２３４ー５６７８"
                                              << "090-1234-5678" << true;
    QTest::newRow("toll free") << "0120123456"
                               << "0120-123-456" << true;
    QTest::newRow("Osaka") << "06 1234 5678"
                           << "06-1234-5678" << true;
    QTest::newRow("four-digit area code") << "0467123456"
                                          << "0467-12-3456" << true;
    QTest::newRow("IP phone") << "050.1234.5678"
                              << "050-1234-5678" << true;
    QTest::newRow("blanks around") << "  0312345678 "
                                   << "03-1234-5678" << true;
    QTest::newRow("digit missing: kept, marked") << "031234567"
                                                 << "031234567" << false;
    QTest::newRow("too short: kept, marked") << "12345"
                                             << "12345" << false;
    QTest::newRow("words: kept, marked") << "会社に聞く"
                                         << "会社に聞く" << false;
    QTest::newRow("extension in words: kept, marked") << "03-1234-5678 内線12"
                                                      << "03-1234-5678 内線12" << false;
    QTest::newRow("foreign: kept") << "+1 650 253 0000"
                                   << "+1 650 253 0000" << true;
    QTest::newRow("foreign London: kept") << "+44 20 7946 0958"
                                          << "+44 20 7946 0958" << true;
    QTest::newRow("country code without plus: kept") << "81312345678"
                                                     << "81312345678" << true;
    QTest::newRow("extension: kept") << "0312345678#12"
                                     << "0312345678#12" << true;
    QTest::newRow("empty") << ""
                           << "" << true;
}

void TestPhone::grouping() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, valid);
    const PhoneNumberText number = format_phone_number(typed);
    QCOMPARE(number.text, shown);
    QCOMPARE(number.valid, valid);
}

void TestPhone::same_customer_whatever_grouping_data() {
    QTest::addColumn<QString>("stored");  // TEL as the register holds it
    QTest::addColumn<QString>("typed");   // TEL typed for another customer, then grouped
    QTest::addColumn<QString>("search");  // a partial search
    QTest::newRow("stored plain") << "0312345678"
                                  << "03(1234)5678"
                                  << "03-1234-5678";
    QTest::newRow("stored grouped") << "03-1234-5678"
                                    << "０３１２３４５６７８"
                                    << "0312345678";
    QTest::newRow("mobile") << "090 1234 5678"
                            << "+81 90 1234 5678"
                            << "090-1234";
    QTest::newRow("four-digit area code") << "0467-123-456"
                                          << "0467123456"
                                          << "12-3456";
}

// The search and the duplicate check read the digits: the grouping changes neither.
void TestPhone::same_customer_whatever_grouping() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, search);
    TestFolder folder;
    insert_customer(folder.db(),
                    customer_with_phone(QStringLiteral("山田商事"), format_phone_number(stored).text));
    const QString id = folder.value(QStringLiteral("select 顧客ID from 顧客"));
    const QStringList other =
        customer_with_phone(QStringLiteral("佐藤商店"), format_phone_number(typed).text);
    const std::optional<DuplicateMatch> match = find_duplicate_customer(folder.db(), other);
    QVERIFY(match);
    QCOMPARE(match->field, DuplicateField::Phone);
    QCOMPARE(match->customer_id, id);
    QCOMPARE(partial_search_customer_ids(folder.db(), search), QVector<QString>{id});
    QCOMPARE(phone_digits(format_phone_number(stored).text), phone_digits(stored));
}

void TestPhone::import_option_data() {
    QTest::addColumn<bool>("format");
    QTest::addColumn<QStringList>("phones");  // TEL, FAX, 携帯 of the two records as stored
    QTest::newRow("off: as in the file")
        << false << QStringList{"0312345678", "０３（１２３４）５６７９", "09012345678", "031234567",
                                "",           "+1 650 253 0000"};
    QTest::newRow("on: grouped, the rest as in the file")
        << true
        << QStringList{"03-1234-5678", "03-1234-5679", "090-1234-5678", "031234567", "", "+1 650 253 0000"};
}

void TestPhone::import_option() {
    QFETCH(bool, format);
    QFETCH(QStringList, phones);
    TestFolder folder;
    const QString path = QDir(folder.path()).filePath("in.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "山田商事,やまだ,東京都,100,0001,千代田,0312345678,０３（１２３４）５６７９,09012345678,y@example.jp,"
        ",,\r\n"
        "佐藤商店,さとう,大阪府,530,0001,北区,031234567,,+1 650 253 0000,s@example.jp,,,\r\n");
    file.close();
    CustomerImportOptions options;
    options.format_phones = format;
    const CsvResult result = import_customer_csv(folder.db(), path, {}, {}, options);
    QVERIFY2(result.ok, qPrintable(result.message));
    const ResultTable rows = folder.rows("select TEL,FAX,携帯 from 顧客 order by 顧客ID", 3);
    QStringList stored;
    for (int r = 1; r <= rows.row_count(); ++r)
        for (int c = 0; c < 3; ++c)
            stored << rows(c, r);
    QCOMPARE(stored, phones);
    // The partial search finds the number by its digits either way.
    QCOMPARE(partial_search_customer_ids(folder.db(), QStringLiteral("03-1234-5679")).size(), 1);
}

QTEST_GUILESS_MAIN(TestPhone)
#include "test_phone.moc"
