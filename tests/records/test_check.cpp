#include "records/check.h"

#include <QTest>

namespace {

// Fixed "today" so the future-date rows do not drift.
const QDate kToday(2026, 12, 8);

}  // namespace

class TestCheck : public QObject {
    Q_OBJECT

private slots:
    void check_date_data();
    void check_date();
    void check_date_default_today();
    void to_halfwidth_data();
    void to_halfwidth();
    void format_by_mask_data();
    void format_by_mask();
    void format_number_field_data();
    void format_number_field();
    void clamp_day_to_month_data();
    void clamp_day_to_month();
};

void TestCheck::check_date_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("default_value");
    QTest::addColumn<bool>("required");
    QTest::addColumn<bool>("complete_century");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");

    const QString canonical = QStringLiteral("2003/11/30");
    auto row = [](const char* name, const QString& value, bool ok, const QString& result) {
        QTest::newRow(name) << value << QString() << true << true << ok << result;
    };

    // Separators and fullwidth text.
    row("canonical", QStringLiteral("2003/11/30"), true, canonical);
    row("fullwidth", QStringLiteral("２００３／１１／３０"), true, canonical);
    row("hyphen", QStringLiteral("2003-11-30"), true, canonical);
    row("dot", QStringLiteral("2003.11.30"), true, canonical);
    row("colon", QStringLiteral("2003:11:30"), true, canonical);
    row("comma", QStringLiteral("2003,11,30"), true, canonical);
    row("space", QStringLiteral("2003 11 30"), true, canonical);
    row("halfwidth prolonged mark", QStringLiteral("2003\uFF7011\uFF7030"), true, canonical);
    row("katakana prolonged mark", QStringLiteral("2003\u30FC11\u30FC30"), true, canonical);
    row("fullwidth hyphen", QStringLiteral("2003\uFF0D11\uFF0D30"), true, canonical);
    row("fullwidth dot", QStringLiteral("2003\uFF0E11\uFF0E30"), true, canonical);
    row("single digit fields", QStringLiteral("2003/1/5"), true, QStringLiteral("2003/01/05"));
    row("surrounding spaces", QStringLiteral("  2003/1/5  "), true, QStringLiteral("2003/01/05"));
    row("trailing ideographic space", QStringLiteral("2003/11/30\u3000"), true, canonical);
    // A leading ideographic space turns into a separator, leaving the year field empty.
    row("leading ideographic space", QStringLiteral("\u30002003/11/30\u3000"), false,
        QStringLiteral(" 2003/11/30 "));

    // Century completion.
    row("two digit year", QStringLiteral("03/1/5"), true, QStringLiteral("2003/01/05"));
    row("year 49 is 2049, future", QStringLiteral("49/1/5"), false, QStringLiteral("2049/01/05"));
    row("year 50 is 1950", QStringLiteral("50/1/5"), true, QStringLiteral("1950/01/05"));
    row("year 99 is 1999", QStringLiteral("99/12/31"), true, QStringLiteral("1999/12/31"));
    row("three digit year 099", QStringLiteral("099/12/31"), true, QStringLiteral("1999/12/31"));
    row("year 100 kept", QStringLiteral("100/1/1"), true, QStringLiteral("0100/01/01"));
    row("year 00", QStringLiteral("00/1/5"), false, QStringLiteral("00/1/5"));
    row("year 0", QStringLiteral("0/1/5"), false, QStringLiteral("0/1/5"));
    QTest::newRow("no century completion")
        << QStringLiteral("03/1/5") << QString() << true << false << true << QStringLiteral("0003/01/05");
    QTest::newRow("no completion, year 49")
        << QStringLiteral("49/1/5") << QString() << true << false << true << QStringLiteral("0049/01/05");

    // Digits without separators.
    row("eight digits", QStringLiteral("20031130"), true, canonical);
    row("six digits", QStringLiteral("031130"), true, canonical);
    row("fullwidth eight digits", QStringLiteral("２００３１１３０"), true, canonical);
    row("four digits", QStringLiteral("1130"), false, QStringLiteral("1130"));

    // Day pulled back to the month's end.
    row("feb 30", QStringLiteral("2003/2/30"), true, QStringLiteral("2003/02/28"));
    row("feb 30 leap", QStringLiteral("2004/2/30"), true, QStringLiteral("2004/02/29"));
    row("feb 29 of 2000", QStringLiteral("2000/2/29"), true, QStringLiteral("2000/02/29"));
    row("feb 29 of 1900", QStringLiteral("1900/2/29"), true, QStringLiteral("1900/02/28"));
    row("apr 31", QStringLiteral("2004/4/31"), true, QStringLiteral("2004/04/30"));
    row("dec 31", QStringLiteral("2003/12/31"), true, QStringLiteral("2003/12/31"));

    // Month and day out of range.
    row("month 13", QStringLiteral("2003/13/1"), false, QStringLiteral("2003/13/01"));
    row("month 0", QStringLiteral("2003/0/1"), false, QStringLiteral("2003/0/1"));
    row("day 32", QStringLiteral("2003/1/32"), false, QStringLiteral("2003/01/32"));
    row("day 0", QStringLiteral("2003/1/0"), false, QStringLiteral("2003/1/0"));
    row("day 99", QStringLiteral("2003/1/99"), false, QStringLiteral("2003/01/99"));

    // Field count and width.
    row("two fields", QStringLiteral("2003/11"), false, QStringLiteral("2003/11"));
    row("trailing separator", QStringLiteral("2003/11/30/"), true, canonical);
    row("fourth field", QStringLiteral("2003/11/30/5"), false, QStringLiteral("2003/11/30/5"));
    row("fourth field of two digits", QStringLiteral("2003/11/15/15"), false,
        QStringLiteral("2003/11/15/15"));
    row("five digit year", QStringLiteral("12345/1/1"), false, QStringLiteral("12345/1/1"));
    row("three digit month", QStringLiteral("2003/011/5"), true, QStringLiteral("2003/11/05"));
    row("trailing letter in month", QStringLiteral("2003/1a/5"), true, QStringLiteral("2003/01/05"));
    row("leading letter in year", QStringLiteral("a2003/1/5"), false, QStringLiteral("a2003/1/5"));
    row("minus sign", QStringLiteral("-2003/1/5"), false, QStringLiteral("-2003/1/5"));
    row("era text", QStringLiteral("平成15年11月30日"), false, QStringLiteral("平成15年11月30日"));
    row("era letter", QStringLiteral("H15/11/30"), false, QStringLiteral("H15/11/30"));

    // Blank values and defaults.
    row("empty, required", QString(), false, QString());
    row("blank, required", QStringLiteral("   "), false, QString());
    QTest::newRow("empty, optional") << QString() << QString() << false << true << true << QString();
    QTest::newRow("blank, optional") << QStringLiteral("   ") << QString() << false << true << true
                                     << QString();
    // Only halfwidth spaces count as blank; the ideographic one is turned into a separator.
    QTest::newRow("ideographic blank, optional")
        << QStringLiteral("\u3000") << QString() << false << true << false << QStringLiteral(" ");
    QTest::newRow("empty takes default")
        << QString() << QStringLiteral("2003/11/30") << true << true << true << canonical;
    QTest::newRow("blank takes default") << QStringLiteral("  ") << QStringLiteral("2003/1/5") << true << true
                                         << true << QStringLiteral("2003/01/05");
    QTest::newRow("default not used") << QStringLiteral("2003/1/5") << QStringLiteral("2004/1/1") << true
                                      << true << true << QStringLiteral("2003/01/05");
    QTest::newRow("default checked too")
        << QString() << QStringLiteral("2003/13/1") << true << true << false << QStringLiteral("2003/13/01");

    // Future dates.
    row("today", QStringLiteral("2026/12/08"), true, QStringLiteral("2026/12/08"));
    row("today, short", QStringLiteral("26/12/8"), true, QStringLiteral("2026/12/08"));
    row("yesterday", QStringLiteral("2026/12/07"), true, QStringLiteral("2026/12/07"));
    row("tomorrow", QStringLiteral("2026/12/09"), false, QStringLiteral("2026/12/09"));
    row("tomorrow, short", QStringLiteral("26/12/9"), false, QStringLiteral("2026/12/09"));
    row("next year", QStringLiteral("2027/1/1"), false, QStringLiteral("2027/01/01"));
}

void TestCheck::check_date() {
    QFETCH(QString, value);
    QFETCH(QString, default_value);
    QFETCH(bool, required);
    QFETCH(bool, complete_century);
    QFETCH(bool, ok);
    QFETCH(QString, result);

    QCOMPARE(::check_date(value, default_value, required, complete_century, kToday), ok);
    QCOMPARE(value, result);
    if (ok && !value.isEmpty())
        QVERIFY(QDate::fromString(value, QStringLiteral("yyyy/MM/dd")).isValid());
}

void TestCheck::check_date_default_today() {
    QString past = QStringLiteral("2000/1/1");
    QVERIFY(::check_date(past, QString(), true, true));
    QCOMPARE(past, QStringLiteral("2000/01/01"));

    QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    QVERIFY(::check_date(today, QString(), true, true));

    QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy/MM/dd"));
    QVERIFY(!::check_date(tomorrow, QString(), true, true));
}

void TestCheck::to_halfwidth_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("case_mode");
    QTest::addColumn<QString>("result");

    QTest::newRow("ascii") << QStringLiteral("abc 123") << 0 << QStringLiteral("abc 123");
    QTest::newRow("printable ascii") << QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~") << 0
                                     << QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
    QTest::newRow("trim spaces") << QStringLiteral("  abc  ") << 0 << QStringLiteral("abc");
    QTest::newRow("trim then convert") << QStringLiteral(" ＡＢ ") << 0 << QStringLiteral("AB");
    QTest::newRow("ideographic spaces not trimmed")
        << QStringLiteral("\u3000a\u3000") << 0 << QStringLiteral(" a ");
    QTest::newRow("ideographic space only") << QStringLiteral("\u3000") << 0 << QStringLiteral(" ");
    QTest::newRow("fullwidth digits")
        << QStringLiteral("０１２３４５６７８９") << 0 << QStringLiteral("0123456789");
    QTest::newRow("fullwidth letters") << QStringLiteral("ＡＢＺａｂｚ") << 0 << QStringLiteral("ABZabz");
    QTest::newRow("fullwidth letters lower")
        << QStringLiteral("ＡＢＺａｂｚ") << 1 << QStringLiteral("abzabz");
    QTest::newRow("fullwidth letters upper")
        << QStringLiteral("ＡＢＺａｂｚ") << 2 << QStringLiteral("ABZABZ");
    QTest::newRow("ascii lower") << QStringLiteral("AbC") << 1 << QStringLiteral("abc");
    QTest::newRow("ascii upper") << QStringLiteral("AbC") << 2 << QStringLiteral("ABC");
    QTest::newRow("punctuation") << QStringLiteral("\uFF0C\uFF1A\uFF0E\uFF0F\uFF0D\u30FC") << 0
                                 << QStringLiteral(",:./--");
    QTest::newRow("halfwidth katakana kept") << QStringLiteral("\uFF71\uFF72\uFF73\uFF70\uFF61\uFF9F") << 0
                                             << QStringLiteral("\uFF71\uFF72\uFF73\uFF70\uFF61\uFF9F");
    QTest::newRow("kana and kanji kept")
        << QStringLiteral("あいうカナ漢字") << 0 << QStringLiteral("あいうカナ漢字");
    QTest::newRow("other fullwidth kept")
        << QStringLiteral("\uFF08\uFF09\uFF0B\uFF1B") << 0 << QStringLiteral("\uFF08\uFF09\uFF0B\uFF1B");
    QTest::newRow("empty") << QString() << 0 << QString();
    QTest::newRow("spaces only") << QStringLiteral("   ") << 2 << QString();
}

void TestCheck::to_halfwidth() {
    QFETCH(QString, text);
    QFETCH(int, case_mode);
    QFETCH(QString, result);

    QCOMPARE(::to_halfwidth(text, case_mode), result);
}

void TestCheck::format_by_mask_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("case_mode");
    QTest::addColumn<bool>("nonzero");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");

    const QString date_mask = QStringLiteral("0000/00/00");
    QTest::newRow("date") << QStringLiteral("2003-1-5") << date_mask << 0 << true << true
                          << QStringLiteral("2003/01/05");
    QTest::newRow("bare digits") << QStringLiteral("20031130") << date_mask << 0 << true << true
                                 << QStringLiteral("2003/11/30");
    QTest::newRow("short bare digits")
        << QStringLiteral(" ０３１１３０ ") << date_mask << 0 << true << true << QStringLiteral("0003/11/30");
    QTest::newRow("long bare digits")
        << QStringLiteral("1220031130") << date_mask << 0 << true << true << QStringLiteral("2003/11/30");
    QTest::newRow("fourth field joined")
        << QStringLiteral("2003/11/30/5") << date_mask << 0 << true << true << QStringLiteral("2003/11/30/5");
    QTest::newRow("fifth field dropped") << QStringLiteral("2003/11/30/5/9") << date_mask << 0 << true << true
                                         << QStringLiteral("2003/11/30/5");
    QTest::newRow("empty fourth field left out")
        << QStringLiteral("2003/11/30/") << date_mask << 0 << true << true << QStringLiteral("2003/11/30");
    QTest::newRow("missing field, nonzero")
        << QStringLiteral("２００３／１１") << date_mask << 0 << true << false << QStringLiteral("2003/11");
    QTest::newRow("missing field, zero allowed")
        << QStringLiteral("2003/11") << date_mask << 0 << false << true << QStringLiteral("2003/11/00");
    QTest::newRow("empty, zero allowed")
        << QString() << date_mask << 0 << false << true << QStringLiteral("0000/00/00");
    QTest::newRow("empty, nonzero") << QString() << date_mask << 0 << true << false << QString();
    QTest::newRow("failure keeps case")
        << QStringLiteral("ab") << date_mask << 2 << true << false << QStringLiteral("AB");
    QTest::newRow("field too wide") << QStringLiteral("2003/111/5") << QStringLiteral("0000/00") << 0 << true
                                    << false << QStringLiteral("2003/111/5");
    QTest::newRow("field beyond mask unformatted") << QStringLiteral("2003/1/5") << QStringLiteral("0000/00")
                                                   << 0 << true << true << QStringLiteral("2003/01/5");
    QTest::newRow("other separator") << QStringLiteral("2003/1") << QStringLiteral("0000-00") << 0 << true
                                     << true << QStringLiteral("2003-01");
    QTest::newRow("time") << QStringLiteral("9.5") << QStringLiteral("00:00") << 0 << true << true
                          << QStringLiteral("09:05");
    QTest::newRow("time, bare digits")
        << QStringLiteral("930") << QStringLiteral("00:00") << 0 << true << true << QStringLiteral("09:30");
    QTest::newRow("time, hour too wide") << QStringLiteral("123:5") << QStringLiteral("00:00") << 0 << true
                                         << false << QStringLiteral("123:5");
    QTest::newRow("no separator in mask")
        << QStringLiteral("12") << QStringLiteral("0000") << 0 << true << true << QStringLiteral("0012");
}

void TestCheck::format_by_mask() {
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QFETCH(int, case_mode);
    QFETCH(bool, nonzero);
    QFETCH(bool, ok);
    QFETCH(QString, result);

    QCOMPARE(::format_by_mask(text, mask, case_mode, nonzero, nonzero, nonzero, nonzero), ok);
    QCOMPARE(text, result);
}

void TestCheck::format_number_field_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("nonzero");
    QTest::addColumn<bool>("nonnegative");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");

    const QString two = QStringLiteral("00");
    const QString four = QStringLiteral("0000");
    QTest::newRow("padded") << QStringLiteral("3") << four << true << true << true << QStringLiteral("0003");
    QTest::newRow("full width") << QStringLiteral("12") << two << true << true << true
                                << QStringLiteral("12");
    QTest::newRow("too wide") << QStringLiteral("123") << two << true << true << false << QString();
    QTest::newRow("leading zeros dropped")
        << QStringLiteral("0003") << two << true << true << true << QStringLiteral("03");
    QTest::newRow("trailing letter ignored")
        << QStringLiteral("1a") << two << true << true << true << QStringLiteral("01");
    QTest::newRow("leading letter") << QStringLiteral("a1") << two << false << false << false << QString();
    QTest::newRow("zero then letter") << QStringLiteral("0a") << two << false << false << false << QString();
    QTest::newRow("fullwidth digit") << QStringLiteral("５") << two << true << true << true
                                     << QStringLiteral("05");
    QTest::newRow("surrounding spaces")
        << QStringLiteral(" 3 ") << two << true << true << true << QStringLiteral("03");
    QTest::newRow("empty, zero allowed") << QString() << two << false << true << true << QStringLiteral("00");
    QTest::newRow("empty, nonzero") << QString() << two << true << true << false << QString();
    QTest::newRow("zero, zero allowed")
        << QStringLiteral("0") << two << false << true << true << QStringLiteral("00");
    QTest::newRow("zeros, nonzero") << QStringLiteral("0000") << four << true << true << false << QString();
    QTest::newRow("negative allowed")
        << QStringLiteral("-3") << two << false << false << true << QStringLiteral("-03");
    QTest::newRow("negative full width")
        << QStringLiteral("-12") << two << false << false << true << QStringLiteral("-12");
    QTest::newRow("negative too wide")
        << QStringLiteral("-123") << two << false << false << false << QString();
    QTest::newRow("negative refused") << QStringLiteral("-3") << two << false << true << false << QString();
    QTest::newRow("minus zero") << QStringLiteral("-0") << two << false << false << false << QString();
    QTest::newRow("minus only") << QStringLiteral("-") << two << false << false << false << QString();
    QTest::newRow("plus sign") << QStringLiteral("+3") << two << false << false << false << QString();
    QTest::newRow("empty mask") << QStringLiteral("7") << QString() << true << true << true
                                << QStringLiteral("7");
    QTest::newRow("empty mask, zero")
        << QStringLiteral("0") << QString() << false << true << true << QStringLiteral("0");
    QTest::newRow("empty mask, huge") << QStringLiteral("123456789012345678901234567890") << QString() << true
                                      << true << true << QStringLiteral("123456789012345678901234567890");
    QTest::newRow("huge, masked") << QStringLiteral("123456789012345678901234567890") << four << true << true
                                  << false << QString();
}

void TestCheck::format_number_field() {
    QFETCH(QString, field);
    QFETCH(QString, mask);
    QFETCH(bool, nonzero);
    QFETCH(bool, nonnegative);
    QFETCH(bool, ok);
    QFETCH(QString, result);

    QCOMPARE(::format_number_field(field, mask, nonzero, nonnegative), ok);
    if (ok)
        QCOMPARE(field, result);
}

void TestCheck::clamp_day_to_month_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("result");

    QTest::newRow("feb 30") << QStringLiteral("2003/02/30") << QStringLiteral("2003/02/28");
    QTest::newRow("feb 30 leap") << QStringLiteral("2004/02/30") << QStringLiteral("2004/02/29");
    QTest::newRow("feb 29 of 2000") << QStringLiteral("2000/02/29") << QStringLiteral("2000/02/29");
    QTest::newRow("feb 29 of 1900") << QStringLiteral("1900/02/29") << QStringLiteral("1900/02/28");
    QTest::newRow("apr 31") << QStringLiteral("2004/04/31") << QStringLiteral("2004/04/30");
    QTest::newRow("nov 31") << QStringLiteral("2003/11/31") << QStringLiteral("2003/11/30");
    QTest::newRow("jan 31") << QStringLiteral("2003/01/31") << QStringLiteral("2003/01/31");
    QTest::newRow("dec 31") << QStringLiteral("2003/12/31") << QStringLiteral("2003/12/31");
    QTest::newRow("day 0") << QStringLiteral("2003/02/00") << QStringLiteral("2003/02/28");
    QTest::newRow("month 13") << QStringLiteral("2003/13/40") << QStringLiteral("2003/13/40");
    QTest::newRow("month 0") << QStringLiteral("2003/00/40") << QStringLiteral("2003/00/40");
    QTest::newRow("year 0") << QStringLiteral("0000/02/30") << QStringLiteral("0000/02/30");
    QTest::newRow("empty") << QString() << QString();
}

void TestCheck::clamp_day_to_month() {
    QFETCH(QString, date);
    QFETCH(QString, result);

    ::clamp_day_to_month(date);
    QCOMPARE(date, result);
}

QTEST_GUILESS_MAIN(TestCheck)
#include "test_check.moc"
