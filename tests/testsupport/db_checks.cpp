#include "db_checks.h"

#include <QRandomGenerator>
#include <QTest>
#include <stdexcept>

#include "db/schema.h"
#include "records/cost_entry.h"
#include "records/number_text.h"
#include "records/order_entry.h"

namespace db_checks {

namespace {

QString first_cell(Database& db, const QString& statement) {
    return db.query_rows(statement, 1)(0, 1);
}

QString repeated(const QString& piece, int times) {
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

}  // namespace

void insert_order(Database& db, const QString& title, const QString& date, const QString& amount,
                  const QString& tax, const QString& discount) {
    db.execute_sql(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                  "values(1,'営業一郎',%1,%2,%3,%4,%5)")
                       .arg(date.isEmpty() ? QStringLiteral("NULL") : sql_text(date), sql_text(title), amount,
                            tax, discount));
}

// ---------------------------------------------------------------------------------------------
// Values of every kind read back through query_rows.

void add_value_kind_rows() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    const QString order =
        QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) values(%1)");
    const QString customer = QStringLiteral("insert into 顧客 (顧客名,顧客名かな,備考) values(%1)");
    auto text_row = [&](const char* name, const QString& value) {
        QTest::newRow(name) << QStringList{customer.arg(QStringLiteral("'甲',%1,''").arg(sql_text(value)))}
                            << QStringLiteral("select 顧客名かな from 顧客") << value;
    };

    QTest::newRow("NULL text is a dash")
        << QStringList{customer.arg(QStringLiteral("'甲',NULL,NULL"))}
        << QStringLiteral("select 顧客名かな from 顧客") << QStringLiteral("-");
    text_row("empty text stays empty", QString());
    text_row("blanks are kept", QStringLiteral("  か  "));
    text_row("Japanese text", QStringLiteral("ｶﾅ漢字かな①～"));
    text_row("outside the basic plane", QStringLiteral("𠮷野家😀"));
    // Characters whose UTF-16 low byte is 0xD8-0xDF, which one ODBC driver miscounts.
    text_row("katakana ホ and マ, kanji 付", QStringLiteral("受付日ホームページ マンション付き"));
    QTest::newRow("long text")
        << QStringList{customer.arg(QStringLiteral("'甲','',%1").arg(sql_text(repeated("あいうえお", 600))))}
        << QStringLiteral("select 備考 from 顧客") << repeated("あいうえお", 600);
    QTest::newRow("long text of miscounted characters")
        << QStringList{customer.arg(QStringLiteral("'甲','',%1").arg(sql_text(repeated("ホマ付受a", 3000))))}
        << QStringLiteral("select 備考 from 顧客") << repeated("ホマ付受a", 3000);

    QTest::newRow("date") << QStringList{order.arg("1,'a','2003/11/25','n',100,10,0")}
                          << QStringLiteral("select 受注日 from 受注") << QStringLiteral("2003/11/25");
    QTest::newRow("leap day") << QStringList{order.arg("1,'a','2004/02/29','n',100,10,0")}
                              << QStringLiteral("select 受注日 from 受注") << QStringLiteral("2004/02/29");
    QTest::newRow("NULL date is a dash")
        << QStringList{QStringLiteral("insert into クレーム (顧客ID,社員,名称,受付日,内容,回答日,回答内容) "
                                      "values(1,'a','n','2003/11/25','',NULL,'')")}
        << QStringLiteral("select 回答日 from クレーム") << QStringLiteral("-");
    QTest::newRow("max of dates") << QStringList{order.arg("1,'a','2003/11/25','n',1,10,0"),
                                                 order.arg("1,'a','2003/12/01','n',1,10,0")}
                                  << QStringLiteral("select max(受注日) from 受注")
                                  << QStringLiteral("2003/12/01");

    QTest::newRow("whole number") << QStringList{order.arg("1,'a','2003/11/25','n',10,10,0")}
                                  << QStringLiteral("select 受注金額 from 受注") << QStringLiteral("10");
    QTest::newRow("zero") << QStringList{order.arg("1,'a','2003/11/25','n',10,10,0")}
                          << QStringLiteral("select 値引き from 受注") << QStringLiteral("0");
    QTest::newRow("negative") << QStringList{order.arg("1,'a','2003/11/25','n',10,10,-500")}
                              << QStringLiteral("select 値引き from 受注") << QStringLiteral("-500");
    QTest::newRow("beyond 32 bits") << QStringList{order.arg("1,'a','2003/11/25','n',12345678901,10,0")}
                                    << QStringLiteral("select 受注金額 from 受注")
                                    << QStringLiteral("12345678901");
    QTest::newRow("NULL number is a dash")
        << QStringList{order.arg("1,'a','2003/11/25','n',10,10,NULL")}
        << QStringLiteral("select 値引き from 受注") << QStringLiteral("-");
    QTest::newRow("decimal") << QStringList{order.arg("1,'a','2003/11/25','n',10,8.5,0")}
                             << QStringLiteral("select 消費税率 from 受注") << QStringLiteral("8.5");
    QTest::newRow("whole value in a decimal column")
        << QStringList{order.arg("1,'a','2003/11/25','n',10,10,0")}
        << QStringLiteral("select 消費税率 from 受注") << QStringLiteral("10");
    QTest::newRow("small fraction") << QStringList{QStringLiteral(
                                           "insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) "
                                           "values(1,1,'甲',0.25,100,'2003/11/25')")}
                                    << QStringLiteral("select 数 from 受注明細") << QStringLiteral("0.25");
    QTest::newRow("decimal quoted as text")
        << QStringList{QStringLiteral(
               "insert into 商品 (分類コード,分類,商品名,単価) values('3','文具','鉛筆','120.5')")}
        << QStringLiteral("select 単価 from 商品") << QStringLiteral("120.5");
    QTest::newRow("sum of decimals") << QStringList{order.arg("1,'a','2003/11/25','n',10,8.5,0"),
                                                    order.arg("1,'a','2003/11/25','n',10,10,0")}
                                     << QStringLiteral("select sum(消費税率) from 受注")
                                     << QStringLiteral("18.5");
    // Beyond 2^53: a sum carried as a double would lose the last digit.
    QTest::newRow("sum stays exact") << QStringList{order.arg("1,'a','2003/11/25','n',4503599627370496,10,0"),
                                                    order.arg("1,'a','2003/11/25','n',4503599627370497,10,0")}
                                     << QStringLiteral("select sum(受注金額) from 受注")
                                     << QStringLiteral("9007199254740993");
    QTest::newRow("count") << QStringList{order.arg("1,'a','2003/11/25','n',1,10,0"),
                                          order.arg("1,'a','2003/11/25','n',1,10,0")}
                           << QStringLiteral("select count(*) from 受注") << QStringLiteral("2");
    QTest::newRow("count of nothing")
        << QStringList{} << QStringLiteral("select count(*) from 受注") << QStringLiteral("0");
    QTest::newRow("sum of nothing is a dash")
        << QStringList{} << QStringLiteral("select sum(受注金額) from 受注") << QStringLiteral("-");
    QTest::newRow("new key") << QStringList{order.arg("1,'a','2003/11/25','n',1,10,0"),
                                            order.arg("1,'a','2003/11/25','n',1,10,0")}
                             << QStringLiteral("select max(受注ID) from 受注 ") << QStringLiteral("2");
    QTest::newRow("yes/no no") << QStringList{} << QStringLiteral("select 業種タイプ from 自社情報")
                               << QStringLiteral("0");
    QTest::newRow("yes/no yes") << QStringList{QStringLiteral("update 自社情報 set 業種タイプ=1")}
                                << QStringLiteral("select 業種タイプ from 自社情報") << QStringLiteral("1");
    QTest::newRow("tax rate of the company row")
        << QStringList{QStringLiteral("update 自社情報 set 消費税=8")}
        << QStringLiteral("select 消費税 from 自社情報") << QStringLiteral("8");
}

void check_value_kind(Database& db, const QStringList& setup, const QString& query, const QString& expected) {
    for (const QString& statement : setup)
        db.execute_sql(statement);
    const ResultTable rows = db.query_rows(query, 1);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(0, 1), expected);
}

// ---------------------------------------------------------------------------------------------
// Text that could end a literal or change a statement.

void add_hostile_text_rows() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    auto same = [](const char* name, const QString& value) { QTest::newRow(name) << value << value; };

    same("single quote", QStringLiteral("it's"));
    same("only a quote", QStringLiteral("'"));
    same("doubled quote", QStringLiteral("''"));
    same("backslash", QStringLiteral("C:\\temp\\new"));
    same("backslash before a quote", QStringLiteral("\\'"));
    same("trailing backslash", QStringLiteral("abc\\"));
    same("semicolon", QStringLiteral("a;b"));
    same("line comment", QStringLiteral("-- x"));
    same("block comment", QStringLiteral("/* x */"));
    same("closing the statement", QStringLiteral("'); drop table 顧客; --"));
    same("Japanese", QStringLiteral("株式会社　山田商事（やまだ）"));
    same("Japanese the driver miscounts", QStringLiteral("ホテル受付'マ\\ミ"));
    same("dialect forms", QStringLiteral("#2003/11/25# [password] (#2003/11/25#-受注日)"));
    same("hash comment", QStringLiteral("a # b"));
    same("wildcards", QStringLiteral("100%_off"));
    same("double quotes and backticks", QStringLiteral("\"x\" `y`"));
    same("line breaks and tab", QStringLiteral("a\r\nb\nc\td"));
    same("empty", QString());
    QTest::newRow("NUL is dropped") << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                                    << QStringLiteral("ab");
}

void check_text_round_trip(Database& db, const QString& value, const QString& stored) {
    db.execute_sql(QStringLiteral("delete from テンプレート"));
    db.execute_sql(QStringLiteral("insert into テンプレート (名称,本文) values(%1,%2)")
                       .arg(sql_text(value), sql_text(value)));
    const ResultTable rows = db.query_rows(QStringLiteral("select 名称,本文 from テンプレート"), 2);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(0, 1), stored);
    QCOMPARE(rows(1, 1), stored);
    // The same literal finds the row again, as the template screen addresses rows by name.
    QCOMPARE(
        first_cell(db, QStringLiteral("select count(*) from テンプレート where 名称=") + sql_text(value)),
        QStringLiteral("1"));
    QCOMPARE(
        first_cell(db, QStringLiteral("select count(*) from テンプレート where 本文=") + sql_text(value)),
        QStringLiteral("1"));
    // Nothing else was touched.
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 顧客")), QStringLiteral("0"));
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 自社情報")), QStringLiteral("1"));
}

void add_unreadable_text_rows() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("refused");
    QTest::newRow("U+FFFE alone") << QString(QChar(0xFFFE)) << true;
    QTest::newRow("U+FFFF inside a text")
        << QStringLiteral("山田") + QChar(0xFFFF) + QStringLiteral("商事") << true;
    QTest::newRow("both") << QString(QChar(0xFFFF)) + QChar(0xFFFE) << true;
    QTest::newRow("byte-order mark first") << QString(QChar(0xFEFF)) + QStringLiteral("山田") << false;
    QTest::newRow("replacement character") << QString(QChar(0xFFFD)) << false;
    QTest::newRow("noncharacter U+FDD0") << QStringLiteral("a") + QChar(0xFDD0) << false;
    QTest::newRow("noncharacter U+1FFFE") << QString::fromUcs4(U"x\U0001FFFEy") << false;
}

void check_unreadable_text(Database& db, const QString& value, bool refused) {
    if (!refused) {
        check_text_round_trip(db, value, value);
        return;
    }
    db.execute_sql(QStringLiteral("delete from テンプレート"));
    QString message;
    try {
        db.execute_sql(
            QStringLiteral("insert into テンプレート (名称,本文) values('a',%1)").arg(sql_text(value)));
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("保存できない文字（U+FFF")), qPrintable(message));
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from テンプレート")), QStringLiteral("0"));
}

void check_random_texts_round_trip(Database& db, int count, quint32 seed) {
    static const QStringList pieces = {"ホ", "付", "ヘ",   "ベ", "マ", "ミ", "a", "Z", "0", " ", "'",
                                       "\\", "\n", "\r\n", "😀",  "𠮷", "%",  "_", "#", ";", "-"};
    QRandomGenerator rng(seed);
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        // Mostly short, some up to the longest a memo box is given.
        const int length = rng.bounded(4) == 0 ? 1 + rng.bounded(3000) : 1 + rng.bounded(60);
        QString t;
        while (t.size() < length)
            t += pieces.at(rng.bounded(pieces.size()));
        texts << t;
    }
    // The name column holds the first characters, never half of a surrogate pair.
    auto name_of = [](const QString& t) {
        QString n = t.left(255);
        if (!n.isEmpty() && n.back().isHighSurrogate())
            n.chop(1);
        return n;
    };
    db.execute_sql(QStringLiteral("delete from 訪問"));
    int errors = 0;
    for (int i = 0; i < count; ++i) {
        try {
            db.execute_sql(
                QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,%2,%3,%4,%5)")
                    .arg(i + 1)
                    .arg(sql_text(name_of(texts.at(i))), sql_text(QStringLiteral("2026/12/08")),
                         sql_text(QString::number(i)), sql_text(texts.at(i))));
        } catch (const DatabaseError& e) {
            if (++errors <= 3)
                qWarning("insert %d refused: %s", i, qPrintable(e.message()));
        }
    }
    QCOMPARE(errors, 0);
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,社員,内容 from 訪問 order by 顧客ID"), 3);
    QCOMPARE(rows.row_count(), count);
    int mismatches = 0;
    for (int i = 0; i < count; ++i) {
        const QString& t = texts.at(i);
        if (rows(0, i + 1) != QString::number(i + 1) || rows(1, i + 1) != name_of(t) || rows(2, i + 1) != t) {
            if (++mismatches <= 3)
                qWarning("text %d came back as %s", i, qPrintable(rows(2, i + 1).left(80)));
        }
    }
    QCOMPARE(mismatches, 0);
}

void check_text_too_long_is_refused(Database& db) {
    const QString fits(255, QChar(0x30DB));  // ホ
    db.execute_sql(QStringLiteral("insert into 顧客 (顧客名) values(%1)").arg(sql_text(fits)));
    QCOMPARE(first_cell(db, QStringLiteral("select 顧客名 from 顧客")), fits);

    const QString too_long = fits + QStringLiteral("付");
    QString message;
    try {
        db.execute_sql(
            QStringLiteral("insert into 顧客 (顧客名,備考) values(%1,'x')").arg(sql_text(too_long)));
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("「顧客名」は 255 文字以内で入力してください。"));
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 顧客")), QStringLiteral("1"));

    // An update is held to the same length, and the row keeps its text.
    message.clear();
    try {
        db.execute_sql(QStringLiteral("update 顧客 set 顧客名=%1").arg(sql_text(too_long)));
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("「顧客名」は 255 文字以内で入力してください。"));
    QCOMPARE(first_cell(db, QStringLiteral("select 顧客名 from 顧客")), fits);
}

void check_fraction_in_amount_is_refused(Database& db) {
    OrderForm order;
    order.customer_id = QStringLiteral("1");
    order.customer_name = QStringLiteral("山田商事");
    order.employee = QStringLiteral("佐藤");
    order.date = QStringLiteral("2026/12/01");
    order.title = QStringLiteral("端数");
    order.amount = QStringLiteral("301.5");
    order.tax_rate = QStringLiteral("10");
    QCOMPARE(save_order(db, order, QDate(2026, 12, 8)), QStringList{kNumberMessage});
    order.amount = QStringLiteral("301");
    order.discount = QStringLiteral("0.5");
    QCOMPARE(save_order(db, order, QDate(2026, 12, 8)), QStringList{kNumberMessage});

    CostForm cost;
    cost.customer_id = QStringLiteral("1");
    cost.order_id = QStringLiteral("1");
    cost.date = QStringLiteral("2026/12/01");
    cost.name = QStringLiteral("材料費");
    cost.amount = QStringLiteral("301.5");
    QCOMPARE(save_cost(db, cost, QDate(2026, 12, 8)), QStringList{kNumberMessage});
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 受注")), QStringLiteral("0"));
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 原価")), QStringLiteral("0"));

    // The whole number is stored as typed on every back-end (for a customer in the register).
    order.customer_id = db.insert_row(
        QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values('山田商事','やまだしょうじ')"),
        QStringLiteral("顧客ID"));
    order.discount = QString();
    QCOMPARE(save_order(db, order, QDate(2026, 12, 8)), QStringList{});
    QCOMPARE(first_cell(db, QStringLiteral("select 受注金額 from 受注")), QStringLiteral("301"));
}

// ---------------------------------------------------------------------------------------------
// Statements in the embedded dialect, translated for the back-end.

void insert_dialect_orders(Database& db) {
    insert_order(db, QStringLiteral("a"), QStringLiteral("2003/11/20"), QStringLiteral("100"));
    insert_order(db, QStringLiteral("b"), QStringLiteral("2003/11/25"), QStringLiteral("200"));
    insert_order(db, QStringLiteral("c"), QStringLiteral("2003/12/01"), QStringLiteral("300"));
    insert_order(db, QStringLiteral("d"), QStringLiteral("2004/02/28"), QStringLiteral("400"));
    insert_order(db, QStringLiteral("#2003/11/25# [password]"), QStringLiteral("2005/01/01"),
                 QStringLiteral("500"));
    db.execute_sql(QStringLiteral("update 自社情報 set [password]='p#1',[smtp]='smtp.example.jp'"));
}

void add_dialect_query_rows() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* query, const char* expected) {
        QTest::newRow(name) << QString::fromUtf8(query) << QString::fromUtf8(expected);
    };
    row("date literal, equal", "select count(*) from 受注 where 受注日=#2003/11/25#", "1");
    row("date literals, range", "select count(*) from 受注 where 受注日>=#2003/11/25# and 受注日<#2003/12/1#",
        "1");
    row("single-digit month and day",
        "select count(*) from 受注 where 受注日 between #2003/11/1# and #2003/12/1#", "3");
    row("later than", "select count(*) from 受注 where 受注日>#2003/11/25#", "3");
    row("hyphenated literal", "select count(*) from 受注 where 受注日<#2003-11-25#", "1");
    row("sum over a date range",
        "select sum(受注金額) from 受注 where 受注日>=#2003/11/25# and 受注日<=#2004/02/28#", "900");
    row("quoted date text", "select count(*) from 受注 where 受注日>='2003/12/01'", "3");
    row("day difference", "select (#2003/11/25#-受注日) from 受注 where 名称='a'", "5");
    row("day difference, same day", "select (#2003/11/25#-受注.受注日) from 受注 where 名称='b'", "0");
    row("day difference, negative", "select (#2003/11/25#-受注日) from 受注 where 名称='c'", "-6");
    row("day difference over a leap day", "select (#2004/03/01#-受注日) from 受注 where 名称='d'", "2");
    row("day difference across a year", "select (#2004/01/01#-受注日) from 受注 where 名称='c'", "31");
    row("day difference with blanks and brackets",
        "select ( #2003/11/25# - [受注日] ) from 受注 where 名称='a'", "5");
    row("day difference in a condition", "select count(*) from 受注 where (#2003/12/01#-受注日)<=6", "4");
    row("bracketed names", "select [password],[smtp] from 自社情報", "p#1");
    row("literal holding the dialect forms", "select 受注金額 from 受注 where 名称='#2003/11/25# [password]'",
        "500");
    row("latest date", "select max(受注日) from 受注", "2005/01/01");
    row("ordered by date", "select 名称 from 受注 where 受注日<#2005/01/01# order by 受注日 desc", "d");
}

void check_dialect_query(Database& db, const QString& query, const QString& expected) {
    const ResultTable rows = db.query_rows(query, 1);
    QVERIFY2(rows.row_count() >= 1, qPrintable(db.translate(query)));
    QCOMPARE(rows(0, 1), expected);
}

// ---------------------------------------------------------------------------------------------

void check_transaction_rollback(Database& db, Database& observer) {
    const QString count = QStringLiteral("select count(*) from 社員");
    auto insert = [&](const QString& name) {
        db.execute_sql(QStringLiteral("insert into 社員 (社員,社員かな,email,部署) values(%1,'','','')")
                           .arg(sql_text(name)));
    };
    QCOMPARE(first_cell(db, count), QStringLiteral("0"));

    bool thrown = false;
    try {
        Transaction tx(db);
        insert(QStringLiteral("取り消し一"));
        insert(QStringLiteral("取り消し二"));
        throw std::runtime_error("stopped before commit");
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(first_cell(db, count), QStringLiteral("0"));
    QCOMPARE(first_cell(observer, count), QStringLiteral("0"));

    thrown = false;
    try {
        Transaction tx(db);
        insert(QStringLiteral("取り消し三"));
        db.execute_sql(QStringLiteral("insert into 存在しない表 (名称) values('x')"));
        tx.commit();
    } catch (const DatabaseError&) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(first_cell(db, count), QStringLiteral("0"));
    QCOMPARE(first_cell(observer, count), QStringLiteral("0"));

    {
        Transaction tx(db);
        insert(QStringLiteral("確定"));
        tx.commit();
    }
    QCOMPARE(first_cell(observer, count), QStringLiteral("1"));

    // After the transactions a single statement is committed on its own again.
    insert(QStringLiteral("単独"));
    const ResultTable names = observer.query_rows(QStringLiteral("select 社員 from 社員 order by 社員ID"), 1);
    QCOMPARE(names.row_count(), 2);
    QCOMPARE(names(0, 1), QStringLiteral("確定"));
    QCOMPARE(names(0, 2), QStringLiteral("単独"));
}

void check_refused_statement(Database& db, QString* message_out) {
    const QStringList statements = {QStringLiteral("insert into 存在しない表 (名称) values('x')"),
                                    QStringLiteral("select * from 存在しない表")};
    for (const QString& statement : statements) {
        QString message;
        try {
            if (statement.startsWith(QLatin1String("select")))
                db.query_rows(statement, 1);
            else
                db.execute_sql(statement);
        } catch (const DatabaseError& e) {
            message = e.message();
        }
        QVERIFY2(!message.isEmpty(), qPrintable(statement));
        QVERIFY2(message.contains(QStringLiteral("存在しない表")), qPrintable(message));
        for (const QChar c : message) {
            QVERIFY2(
                c.isPrint() || c == QLatin1Char('\n'),
                qPrintable(
                    QStringLiteral("U+%1 in: %2").arg(c.unicode(), 4, 16, QLatin1Char('0')).arg(message)));
            QVERIFY2(c != QChar::ReplacementCharacter, qPrintable(message));
        }
        QCOMPARE(message, message.trimmed());
        if (message_out)
            *message_out = message;
    }
    // The connection stays usable.
    QCOMPARE(first_cell(db, QStringLiteral("select count(*) from 自社情報")), QStringLiteral("1"));
}

QStringList select_star_columns(Database& db, const QString& table) {
    const QStringList names = db.column_names(QStringLiteral("select * from [%1] where 1=0").arg(table));
    if (db.dialect() != Dialect::MySql)
        return names;

    // The names the driver reports must be the server's catalogue, whose order is that of select *.
    const ResultTable catalogue = db.query_rows(
        QStringLiteral("select column_name from information_schema.columns where table_schema=database() "
                       "and table_name=%1 order by ordinal_position")
            .arg(sql_text(table)),
        1);
    QStringList catalogue_names;
    for (int i = 1; i <= catalogue.row_count(); ++i)
        catalogue_names << catalogue(0, i);
    bool agree = catalogue_names.size() == names.size();
    for (int i = 0; agree && i < names.size(); ++i)
        agree = names.at(i) == catalogue_names.at(i);
    if (!agree)
        throw DatabaseError(QStringLiteral("%1: select * gives %2, the catalogue %3")
                                .arg(table, names.join(','), catalogue_names.join(',')));
    return catalogue_names;
}

void check_select_star_order(Database& db) {
    for (const TableDef& table : schema_tables()) {
        QStringList expected;
        for (const ColumnDef& column : table.columns)
            expected << column.name;
        // Columns added by the schema steps (the folded search columns) follow the design's own.
        const QStringList actual = select_star_columns(db, table.name).mid(0, expected.size());
        QVERIFY2(
            actual == expected,
            qPrintable(QStringLiteral("%1: %2 / %3").arg(table.name, actual.join(','), expected.join(','))));
    }
}

void check_seed_rows(Database& db) {
    const ResultTable company = db.query_rows(QStringLiteral("select * from 自社情報"), 15);
    QCOMPARE(company.row_count(), 1);
    QCOMPARE(company(1, 1), QStringLiteral("10"));  // 消費税
    QCOMPARE(company(14, 1), QStringLiteral("0"));  // 業種タイプ: goods trade
    // The settings screen shows the texts as they are: empty, not "-".
    for (int i = 2; i <= 13; ++i)
        QCOMPARE(company(i, 1), QString());

    // The table's own order: the program reads the classes without "order by".
    const ResultTable rfm = db.query_rows(QStringLiteral("select * from RFM"), 5);
    QCOMPARE(rfm.row_count(), 12);
    for (int i = 1; i <= 12; ++i) {
        QCOMPARE(rfm(0, i), QString::number(i));
        QVERIFY(!rfm(2, i).isEmpty());
        bool number = false;
        rfm(3, i).toLongLong(&number);
        QVERIFY2(number, qPrintable(rfm(3, i)));
        QVERIFY(!rfm(4, i).isEmpty());
    }

    const ResultTable statuses = db.query_rows(QStringLiteral("select * from 対応状況"), 2);
    QStringList texts;
    for (int i = 1; i <= statuses.row_count(); ++i)
        texts << statuses(1, i);
    QVERIFY(statuses.row_count() <= 10);
    for (const char* status : {"email", "未対応", "対応中", "対応済"})
        QVERIFY2(texts.contains(QString::fromUtf8(status)), qPrintable(texts.join(',')));
}

void add_table_item_rows() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("date_position");
    QTest::addColumn<QString>("date_column");
    QTest::newRow("受注") << 1 << QStringLiteral("受注") << 3 << QStringLiteral("受注日");
    QTest::newRow("見積もり") << 2 << QStringLiteral("見積もり") << 3 << QStringLiteral("提出日");
    QTest::newRow("訪問") << 3 << QStringLiteral("訪問") << 3 << QStringLiteral("訪問日");
    QTest::newRow("問い合わせ") << 4 << QStringLiteral("問い合わせ") << 4 << QStringLiteral("受付日");
    QTest::newRow("クレーム") << 5 << QStringLiteral("クレーム") << 4 << QStringLiteral("受付日");
    QTest::newRow("原価") << 6 << QStringLiteral("原価") << 4 << QStringLiteral("登録日");
}

void check_table_item(Database& db, int row, const QString& table, int date_position,
                      const QString& date_column) {
    const ResultTable items =
        db.query_rows(QStringLiteral("select * from テーブル項目 order by table_id"), 11);
    QCOMPARE(items.row_count(), 6);
    QCOMPARE(items(1, row), table);
    const QStringList real = select_star_columns(db, table);
    QVERIFY(real.size() > date_position);
    QCOMPARE(items(2, row), QString::number(std::min<int>(8, real.size())));
    for (int j = 0; j < 8; ++j)
        QCOMPARE(items(3 + j, row), j < real.size() ? real.at(j) : QString());
    // The record list orders by the date at this position and reads the status at position 5.
    QCOMPARE(real.at(date_position), date_column);
    QCOMPARE(items(3 + date_position, row), date_column);
    if (table == QStringLiteral("問い合わせ"))
        QCOMPARE(items(3 + 5, row), QStringLiteral("状況"));
}

void check_column_names_ignore_case(Database& db) {
    db.execute_sql(QStringLiteral("insert into 顧客 (顧客名,EMAIL) values('大文字','upper@example.jp')"));
    const QString id = first_cell(db, QStringLiteral("select max(顧客id) from 顧客"));
    QCOMPARE(id, QStringLiteral("1"));
    db.execute_sql(QStringLiteral("update 顧客 set email='lower@example.jp' where 顧客id=") + id);
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,Email,EMAIL,email from 顧客 where 顧客ID=") + id, 4);
    QCOMPARE(rows.row_count(), 1);
    QCOMPARE(rows(0, 1), id);
    for (int c = 1; c < 4; ++c)
        QCOMPARE(rows(c, 1), QStringLiteral("lower@example.jp"));

    db.execute_sql(QStringLiteral("insert into 社員 (社員,EMAIL) values('営業一郎','ichiro@example.jp')"));
    QCOMPARE(first_cell(db, QStringLiteral("select Email from 社員 where 社員id=1")),
             QStringLiteral("ichiro@example.jp"));
    db.execute_sql(
        QStringLiteral("insert into 商品 (分類コード,分類,商品名,単価) values(1,'文具','鉛筆',120)"));
    QCOMPARE(first_cell(db, QStringLiteral("select 商品名 from 商品 where 商品id=1")),
             QStringLiteral("鉛筆"));
}

}  // namespace db_checks
