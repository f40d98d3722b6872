#include "records/number_text.h"

#include <QRegularExpression>
#include <QTest>

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void with_thousands_data();
    void with_thousands();
    void plain_number_data();
    void plain_number();
};

void TestNumberText::with_thousands_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    auto row = [](const char* name, const QString& text, const QString& result) {
        QTest::newRow(name) << text << result;
    };
    auto same = [](const char* name, const QString& text) { QTest::newRow(name) << text << text; };

    row("plain", QStringLiteral("12345"), QStringLiteral("12,345"));
    row("already grouped", QStringLiteral("1,200,000"), QStringLiteral("1,200,000"));
    row("badly grouped", QStringLiteral("12,34"), QStringLiteral("1,234"));
    row("negative", QStringLiteral("-5000"), QStringLiteral("-5,000"));
    row("small", QStringLiteral("123"), QStringLiteral("123"));
    row("four digits", QStringLiteral("1234"), QStringLiteral("1,234"));
    row("zero", QStringLiteral("0"), QStringLiteral("0"));
    row("leading zeros", QStringLiteral("0012"), QStringLiteral("12"));
    row("round up", QStringLiteral("12345.6"), QStringLiteral("12,346"));
    row("round down", QStringLiteral("12345.4"), QStringLiteral("12,345"));
    row("half up", QStringLiteral("12345.5"), QStringLiteral("12,346"));
    row("half away from zero", QStringLiteral("-12345.5"), QStringLiteral("-12,346"));
    row("below half", QStringLiteral("1.49"), QStringLiteral("1"));
    row("carry", QStringLiteral("999.5"), QStringLiteral("1,000"));
    row("half of zero", QStringLiteral("0.5"), QStringLiteral("1"));
    row("negative rounds to zero", QStringLiteral("-0.4"), QStringLiteral("0"));
    row("fullwidth", QStringLiteral("１２３４５"), QStringLiteral("12,345"));
    row("fullwidth comma", QStringLiteral("１\uFF0C２３４"), QStringLiteral("1,234"));
    row("spaces", QStringLiteral(" 1234 "), QStringLiteral("1,234"));
    row("ideographic spaces", QStringLiteral("\u30001234\u3000"), QStringLiteral("1,234"));
    row("fifteen digits", QStringLiteral("999999999999999"), QStringLiteral("999,999,999,999,999"));
    row("fifteen digits carried", QStringLiteral("999999999999999.5"),
        QStringLiteral("1,000,000,000,000,000"));

    same("sixteen digits", QStringLiteral("1000000000000000"));
    same("empty", QString());
    same("blank", QStringLiteral(" "));
    same("letters", QStringLiteral("abc"));
    same("exponent", QStringLiteral("1e5"));
    same("sql", QStringLiteral("1;drop table x"));
    same("quote", QStringLiteral("1'"));
    same("double minus", QStringLiteral("--1"));
    same("two points", QStringLiteral("1.2.3"));
    same("trailing point", QStringLiteral("1."));
    same("leading point", QStringLiteral(".5"));
    same("minus only", QStringLiteral("-"));
    same("plus sign", QStringLiteral("+5"));
    same("inner space", QStringLiteral("1 000"));
    same("arabic-indic digit", QStringLiteral("\u0663"));
}

void TestNumberText::with_thousands() {
    QFETCH(QString, text);
    QFETCH(QString, result);

    QCOMPARE(::with_thousands(text), result);
}

void TestNumberText::plain_number_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("empty_value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("result");

    auto row = [](const char* name, const QString& text, const QString& result) {
        QTest::newRow(name) << text << QString() << true << result;
    };
    auto refused = [](const char* name, const QString& text) {
        QTest::newRow(name) << text << QString() << false << QString();
    };

    row("integer", QStringLiteral("123"), QStringLiteral("123"));
    row("grouped", QStringLiteral("1,234"), QStringLiteral("1234"));
    row("negative decimal", QStringLiteral("-1,234.50"), QStringLiteral("-1234.50"));
    row("fullwidth", QStringLiteral("１２３"), QStringLiteral("123"));
    row("spaces", QStringLiteral(" 42 "), QStringLiteral("42"));
    row("ideographic spaces", QStringLiteral("\u3000 42\u3000"), QStringLiteral("42"));
    row("zero", QStringLiteral("0"), QStringLiteral("0"));
    row("fifteen digits", QStringLiteral("999999999999999"), QStringLiteral("999999999999999"));
    row("fifteen digits with fraction", QStringLiteral("-999999999999999.99"),
        QStringLiteral("-999999999999999.99"));

    refused("empty", QString());
    refused("blank", QStringLiteral(" "));
    refused("comma only", QStringLiteral(","));
    refused("sixteen digits", QStringLiteral("1000000000000000"));
    refused("sql", QStringLiteral("1;drop table x"));
    refused("quote", QStringLiteral("1'"));
    refused("comment", QStringLiteral("1--"));
    refused("exponent", QStringLiteral("1e5"));
    refused("double minus", QStringLiteral("--1"));
    refused("two points", QStringLiteral("1.2.3"));
    refused("trailing point", QStringLiteral("1."));
    refused("leading point", QStringLiteral(".5"));
    refused("hex", QStringLiteral("0x10"));
    refused("plus sign", QStringLiteral("+1"));
    refused("inner space", QStringLiteral("1 2"));
    refused("arabic-indic digit", QStringLiteral("\u0663"));
    refused("letters", QStringLiteral("abc"));

    QTest::newRow("empty, zero") << QString() << QStringLiteral("0") << true << QStringLiteral("0");
    QTest::newRow("blank, zero") << QStringLiteral("  ") << QStringLiteral("0") << true
                                 << QStringLiteral("0");
    QTest::newRow("empty, null") << QString() << QStringLiteral("NULL") << true << QStringLiteral("NULL");
    QTest::newRow("number, zero") << QStringLiteral("5") << QStringLiteral("0") << true
                                  << QStringLiteral("5");
    QTest::newRow("letters, zero") << QStringLiteral("abc") << QStringLiteral("0") << false << QString();
}

void TestNumberText::plain_number() {
    QFETCH(QString, text);
    QFETCH(QString, empty_value);
    QFETCH(bool, valid);
    QFETCH(QString, result);

    const std::optional<QString> number = ::plain_number(text, empty_value);
    QCOMPARE(number.has_value(), valid);
    if (!number)
        return;
    QCOMPARE(*number, result);
    if (*number != empty_value) {
        static const QRegularExpression pattern(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
        QVERIFY(pattern.match(*number).hasMatch());
    }
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "test_number_text.moc"
