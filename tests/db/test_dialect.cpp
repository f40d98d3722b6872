#include "db/dialect.h"

#include <QTest>
#include <memory>

#include "db_checks.h"
#include "test_folder.h"

class TestDialect : public QObject {
    Q_OBJECT

private slots:
    void translate_data();
    void translate();
    void sql_text_data();
    void sql_text();
    void literals_are_never_touched_data();
    void literals_are_never_touched();
    void hostile_text_round_trip_data();
    void hostile_text_round_trip();
    void translated_queries_data();
    void translated_queries();
    void insert_returning_key_data();
    void insert_returning_key();
};

void TestDialect::translate_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sqlite");
    QTest::addColumn<QString>("mysql");
    QTest::addColumn<QString>("sqlserver");
    auto row = [](const char* name, const char* statement, const char* sqlite, const char* mysql,
                  const char* sqlserver) {
        QTest::newRow(name) << QString::fromUtf8(statement) << QString::fromUtf8(sqlite)
                            << QString::fromUtf8(mysql) << QString::fromUtf8(sqlserver);
    };
    auto unchanged = [&](const char* name, const char* statement) {
        row(name, statement, statement, statement, statement);
    };

    row("date literal", "select * from 受注 where 受注日=#2003/11/25#",
        "select * from 受注 where 受注日='2003/11/25'", "select * from 受注 where 受注日='2003-11-25'",
        "select * from 受注 where 受注日='20031125'");
    row("single-digit month and day", "#2003/1/5#", "'2003/01/05'", "'2003-01-05'", "'20030105'");
    row("hyphens", "#2003-11-25#", "'2003/11/25'", "'2003-11-25'", "'20031125'");
    row("blanks inside", "# 2003/11/25 #", "'2003/11/25'", "'2003-11-25'", "'20031125'");
    row("two literals", "受注日 between #2003/11/1# and #2003/11/30#",
        "受注日 between '2003/11/01' and '2003/11/30'", "受注日 between '2003-11-01' and '2003-11-30'",
        "受注日 between '20031101' and '20031130'");
    row("date in parentheses only", "(#2003/11/25#)", "('2003/11/25')", "('2003-11-25')", "('20031125')");

    row("day difference", "select (#2003/11/25#-受注日) from 受注",
        "select ((julianday('2003-11-25')-julianday(replace(受注日,'/','-')))) from 受注",
        "select (DATEDIFF('2003-11-25',受注日)) from 受注",
        "select (DATEDIFF(day,受注日,'20031125')) from 受注");
    row("day difference, blanks and bracketed column", "( #2003/1/5# - [受注日] )",
        "((julianday('2003-01-05')-julianday(replace([受注日],'/','-'))))",
        "(DATEDIFF('2003-01-05',`受注日`))", "(DATEDIFF(day,[受注日],'20030105'))");
    row("day difference, qualified column", "(#2003/11/25#-受注.受注日)<=30",
        "((julianday('2003-11-25')-julianday(replace(受注.受注日,'/','-'))))<=30",
        "(DATEDIFF('2003-11-25',受注.受注日))<=30", "(DATEDIFF(day,受注.受注日,'20031125'))<=30");
    row("day difference, column with parentheses", "(#2003/11/25#-max(受注日))",
        "((julianday('2003-11-25')-julianday(replace(max(受注日),'/','-'))))",
        "(DATEDIFF('2003-11-25',max(受注日)))", "(DATEDIFF(day,max(受注日),'20031125'))");
    row("day difference, column holding a literal with a parenthesis", "(#2003/11/25#-coalesce(受注日,')'))",
        "((julianday('2003-11-25')-julianday(replace(coalesce(受注日,')'),'/','-'))))",
        "(DATEDIFF('2003-11-25',coalesce(受注日,')')))", "(DATEDIFF(day,coalesce(受注日,N')'),'20031125'))");

    row("bracketed names", "select [password],[smtp] from 自社情報", "select [password],[smtp] from 自社情報",
        "select `password`,`smtp` from 自社情報", "select [password],[smtp] from 自社情報");
    row("bracketed Japanese name", "update [自社情報] set [業種タイプ]=1",
        "update [自社情報] set [業種タイプ]=1", "update `自社情報` set `業種タイプ`=1",
        "update [自社情報] set [業種タイプ]=1");

    // Literals stay as they are, except that SQL Server gets them as Unicode (N'…').
    auto literal = [&](const char* name, const char* statement, const char* sqlserver) {
        row(name, statement, statement, statement, sqlserver);
    };
    literal("literal holding a date form", "select * from 顧客 where 備考='#2003/11/25#'",
            "select * from 顧客 where 備考=N'#2003/11/25#'");
    literal("literal holding a bracket", "select * from 顧客 where 顧客名='[password]'",
            "select * from 顧客 where 顧客名=N'[password]'");
    literal("literal holding a day difference", "select * from 顧客 where 備考='(#2003/11/25#-受注日)'",
            "select * from 顧客 where 備考=N'(#2003/11/25#-受注日)'");
    literal("literal holding doubled quotes",
            "update 顧客 set 備考='it''s #2003/1/1# [x] ''(#2003/1/1#-a)''' where 顧客ID=1",
            "update 顧客 set 備考=N'it''s #2003/1/1# [x] ''(#2003/1/1#-a)''' where 顧客ID=1");
    literal("Japanese literal and empty literal", "insert into 社員 (社員,部署) values('山田 ホ付','')",
            "insert into 社員 (社員,部署) values(N'山田 ホ付',N'')");
    literal("literal right after a parenthesis or comma", "values(1,'a',('b'))", "values(1,N'a',(N'b'))");
    row("literal before a date", "select count(*) from 受注 where 名称='it''s [x]' and 受注日>#2003/1/1#",
        "select count(*) from 受注 where 名称='it''s [x]' and 受注日>'2003/01/01'",
        "select count(*) from 受注 where 名称='it''s [x]' and 受注日>'2003-01-01'",
        "select count(*) from 受注 where 名称=N'it''s [x]' and 受注日>'20030101'");
    literal("unterminated literal", "select 'abc #2003/1/1# [x]", "select N'abc #2003/1/1# [x]");
    literal("no date between hashes", "select '#' as a, #abc# from t", "select N'#' as a, #abc# from t");
    unchanged("year and month only", "#2003/11#");
    unchanged("plain subtraction", "select (a-b) from t");
    unchanged("unclosed bracket", "select [abc from t");
    unchanged("empty brackets", "select [] from t");
    unchanged("empty statement", "");
    literal("nothing to translate but the literal",
            "select 顧客ID,顧客名 from 顧客 where 顧客名かな like 'や%' order by 顧客名かな",
            "select 顧客ID,顧客名 from 顧客 where 顧客名かな like N'や%' order by 顧客名かな");
}

void TestDialect::translate() {
    QFETCH(QString, statement);
    QFETCH(QString, sqlite);
    QFETCH(QString, mysql);
    QFETCH(QString, sqlserver);
    QCOMPARE(translate_statement(statement, Dialect::Sqlite), sqlite);
    QCOMPARE(translate_statement(statement, Dialect::MySql), mysql);
    QCOMPARE(translate_statement(statement, Dialect::SqlServer), sqlserver);
}

void TestDialect::insert_returning_key_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("key_read");
    const char* insert = "insert into 受注 (顧客ID,名称) values(1,'x) values(')";
    QTest::newRow("SQLite") << int(Dialect::Sqlite) << insert << insert << "select last_insert_rowid()";
    QTest::newRow("MariaDB") << int(Dialect::MySql) << insert << insert << "select last_insert_id()";
    // In the insert's own batch: a later batch's SCOPE_IDENTITY() is NULL.
    QTest::newRow("SQL Server")
        << int(Dialect::SqlServer) << insert
        << "insert into 受注 (顧客ID,名称) output inserted.[受注ID] values(1,N'x) values(')"
        << "";
}

void TestDialect::insert_returning_key() {
    QFETCH(int, dialect);
    QFETCH(QString, statement);
    QFETCH(QString, sent);
    QFETCH(QString, key_read);
    QCOMPARE(insert_returning_key_statement(statement, QStringLiteral("受注ID"), Dialect(dialect)), sent);
    QCOMPARE(last_insert_key_statement(Dialect(dialect)), key_read);
}

void TestDialect::sql_text_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("literal");
    QTest::newRow("plain") << QStringLiteral("abc") << QStringLiteral("'abc'");
    QTest::newRow("empty") << QString() << QStringLiteral("''");
    QTest::newRow("quote") << QStringLiteral("it's") << QStringLiteral("'it''s'");
    QTest::newRow("two quotes") << QStringLiteral("''") << QStringLiteral("''''''");
    QTest::newRow("backslash stays single") << QStringLiteral("C:\\temp") << QStringLiteral("'C:\\temp'");
    QTest::newRow("backslash quote") << QStringLiteral("\\'") << QStringLiteral("'\\'''");
    QTest::newRow("semicolon and comment") << QStringLiteral("a; --b") << QStringLiteral("'a; --b'");
    QTest::newRow("NUL dropped") << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                                 << QStringLiteral("'ab'");
    QTest::newRow("closing the statement")
        << QStringLiteral("'); drop table 顧客; --") << QStringLiteral("'''); drop table 顧客; --'");
    QTest::newRow("Japanese") << QStringLiteral("山田商事") << QStringLiteral("'山田商事'");
    QTest::newRow("pair outside the basic plane") << QStringLiteral("𠮷😀") << QStringLiteral("'𠮷😀'");
    QTest::newRow("lone lead surrogate before the closing quote")
        << QStringLiteral("a") + QChar(0xD842) << QStringLiteral("'a\uFFFD'");
    QTest::newRow("lone trail surrogate then quote")
        << QChar(0xDFB7) + QStringLiteral("'") << QStringLiteral("'\uFFFD'''");
}

void TestDialect::sql_text() {
    QFETCH(QString, value);
    QFETCH(QString, literal);
    QCOMPARE(::sql_text(value), literal);
}

void TestDialect::literals_are_never_touched_data() {
    db_checks::add_hostile_text_rows();
}

void TestDialect::literals_are_never_touched() {
    QFETCH(QString, value);
    const QString statement = QStringLiteral("select count(*) from 顧客 where 備考=") + ::sql_text(value) +
                              QStringLiteral(" and 顧客名=") + ::sql_text(value);
    for (const Dialect d : {Dialect::Sqlite, Dialect::MySql})
        QCOMPARE(translate_statement(statement, d), statement);
    const QString unicode = QStringLiteral("select count(*) from 顧客 where 備考=N") + ::sql_text(value) +
                            QStringLiteral(" and 顧客名=N") + ::sql_text(value);
    QCOMPARE(translate_statement(statement, Dialect::SqlServer), unicode);
}

void TestDialect::hostile_text_round_trip_data() {
    db_checks::add_hostile_text_rows();
}

void TestDialect::hostile_text_round_trip() {
    QFETCH(QString, value);
    QFETCH(QString, stored);
    TestFolder folder;
    db_checks::check_text_round_trip(folder.db(), value, stored);
}

void TestDialect::translated_queries_data() {
    db_checks::add_dialect_query_rows();
}

void TestDialect::translated_queries() {
    QFETCH(QString, query);
    QFETCH(QString, expected);
    TestFolder folder;
    db_checks::insert_dialect_orders(folder.db());
    db_checks::check_dialect_query(folder.db(), query, expected);
}

QTEST_GUILESS_MAIN(TestDialect)
#include "test_dialect.moc"
