#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QtTest>

#include "app/log_file.h"
#include "db/statement_log.h"

// The log file for support: small, in generations, without secrets or the values of statements.
class TestLogFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void statements_lose_their_values_data();
    void statements_lose_their_values();
    void secrets_never_reach_the_file();
    void the_file_stays_small_in_generations();

private:
    QByteArray read(const QString& name);
    QTemporaryDir m_state;
};

void TestLogFile::initTestCase() {
    qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
    QCOMPARE(log_file_path(), m_state.filePath(QStringLiteral("eigyo-techo/sales.log")));
}

QByteArray TestLogFile::read(const QString& name) {
    QFile f(QDir(log_folder()).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestLogFile::statements_lose_their_values_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("logged");
    QTest::newRow("company row with its password")
        << "update 自社情報  set 消費税=10, userid='sales', [password]='it''s-secret', 郵便番号1='100' where "
           "id=1"
        << "update 自社情報  set 消費税=?, userid='?', [password]='?', 郵便番号1='?' where id=?";
    QTest::newRow("names with digits stay") << "select [郵便番号1],col2 from t where a=-5.5"
                                            << "select [郵便番号1],col2 from t where a=-?";
    QTest::newRow("date literal") << "select * from 受注 where 受注日>=#2026/12/08#"
                                  << "select * from 受注 where 受注日>=#?#";
    QTest::newRow("unclosed text") << "insert into 顧客 (email) values('a@b"
                                   << "insert into 顧客 (email) values('?'";
}

void TestLogFile::statements_lose_their_values() {
    QFETCH(QString, statement);
    QFETCH(QString, logged);
    QCOMPARE(elide_statement_values(statement), logged);
}

void TestLogFile::secrets_never_reach_the_file() {
    install_log_file();
    keep_out_of_log(QStringLiteral("rt-very-secret-token"));
    keep_out_of_log(QStringLiteral("abc"));  // too short to be told from ordinary words
    qWarning() << "refresh failed for rt-very-secret-token at abc";
    log_database_error(QStringLiteral("update 自社情報 set [password]='Pa55-word'"),
                       QStringLiteral("no such column: rt-very-secret-token"));
    const QByteArray log = read(QStringLiteral("sales.log"));
    QVERIFY(log.contains("refresh failed for ******** at abc"));
    QVERIFY(log.contains(
        "[sales.db] warning: refused: update 自社情報 set [password]='?' -- no such column: ********"));
    QVERIFY(!log.contains("rt-very-secret-token"));
    QVERIFY(!log.contains("Pa55-word"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(log_file_path()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void TestLogFile::the_file_stays_small_in_generations() {
    const QString line(1000, QLatin1Char('x'));
    // Four files' worth: the oldest generations go.
    for (int i = 0; i < 4 * int(kLogFileBytes / 1001) + 10; ++i)
        append_log_line(line);
    append_log_line(QStringLiteral("the last line"));
    for (int g = 0; g <= kLogGenerations; ++g) {
        const QString name = g == 0 ? QStringLiteral("sales.log") : QStringLiteral("sales.log.%1").arg(g);
        const QFileInfo file(QDir(log_folder()).filePath(name));
        QVERIFY2(file.exists(), qPrintable(name));
        QVERIFY(file.size() <= kLogFileBytes);
    }
    QVERIFY(!QFileInfo::exists(
        QDir(log_folder()).filePath(QStringLiteral("sales.log.%1").arg(kLogGenerations + 1))));
    QVERIFY(read(QStringLiteral("sales.log")).endsWith("the last line\n"));
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "test_log_file.moc"
