// The install tree as the package lays it out, made into a temporary DESTDIR and used from there.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "db/database.h"

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
}  // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void tree_holds_file_data();
    void tree_holds_file();
    void icon_sizes_data();
    void icon_sizes();
    void desktop_entry_is_valid();
    void cli_help_lists_commands_in_both_languages();
    void cli_folder_init_makes_working_folder();
    void command_lines_data();
    void command_lines();

private:
    QTemporaryDir m_root;
    QString usr() const { return m_root.filePath(QStringLiteral("usr")); }
};

void TestInstall::initTestCase() {
    const QString build = qEnvironmentVariable("SALES_BUILD_DIR");
    const QString cmake = qEnvironmentVariable("SALES_CMAKE", QStringLiteral("cmake"));
    QVERIFY2(!build.isEmpty(), "SALES_BUILD_DIR is not set");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Run r = run(cmake, {"--install", build, "--prefix", "/usr"}, env);
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
}

void TestInstall::tree_holds_file_data() {
    QTest::addColumn<QString>("path");
    for (const char* path :
         {"bin/sales", "bin/sales-cli", "share/eigyo-techo/help/index.html",
          "share/eigyo-techo/translations/qtbase_ja.qm", "share/eigyo-techo/postal/postal.dat",
          "share/applications/eigyo-techo.desktop", "share/icons/hicolor/scalable/apps/eigyo-techo.svg",
          "share/man/man1/sales-cli.1.gz"})
        QTest::newRow(path) << QString::fromLatin1(path);
}

void TestInstall::tree_holds_file() {
    QFETCH(QString, path);
    const QFileInfo file(QDir(usr()).filePath(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath()));
    if (path.startsWith(QLatin1String("bin/")))
        QVERIFY(file.isExecutable());
}

void TestInstall::icon_sizes_data() {
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 256})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

void TestInstall::icon_sizes() {
    QFETCH(int, size);
    const QImage icon(
        QDir(usr()).filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/eigyo-techo.png").arg(size)));
    QCOMPARE(icon.size(), QSize(size, size));
    // Drawn, not blank: the middle of the notebook is opaque.
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
}

void TestInstall::desktop_entry_is_valid() {
    const QString entry = QDir(usr()).filePath(QStringLiteral("share/applications/eigyo-techo.desktop"));
    const Run r = run(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(r.status == 0 && r.out.isEmpty(), qPrintable(r.out + r.err));
    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(desktop.value("Name").toString(), QStringLiteral("営業手帳"));
    QCOMPARE(desktop.value("Exec").toString(), QStringLiteral("sales"));
    QVERIFY(
        QFileInfo::exists(QDir(usr()).filePath(QStringLiteral("bin/") + desktop.value("Exec").toString())));
    QCOMPARE(desktop.value("Icon").toString(), QStringLiteral("eigyo-techo"));
}

void TestInstall::cli_help_lists_commands_in_both_languages() {
    const Run r = run(QDir(usr()).filePath(QStringLiteral("bin/sales-cli")), {"--help"});
    QCOMPARE(r.status, 0);
    for (const char* text :
         {"使い方", "Usage", "init", "report", "fetch-mail", "import", "backup", "--folder"})
        QVERIFY2(r.out.contains(QString::fromUtf8(text)), text);
}

void TestInstall::cli_folder_init_makes_working_folder() {
    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("新しい/営業手帳"));
    const QString cli = QDir(usr()).filePath(QStringLiteral("bin/sales-cli"));
    const Run init = run(cli, {"--folder", folder, "init"});
    QVERIFY2(init.status == 0, qPrintable(init.err));
    QVERIFY(QFileInfo(QDir(folder).filePath("sales.ini")).isFile());
    QVERIFY(QFileInfo(QDir(folder).filePath("mail")).isDir());
    QFile help(QDir(folder).filePath("help/index.html"));
    QFile installed(QDir(usr()).filePath("share/eigyo-techo/help/index.html"));
    QVERIFY(help.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly));
    QCOMPARE(help.readAll(), installed.readAll());
    Database db;
    db.open_sqlite_file(QDir(folder).filePath("sales.mdb"), false);
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 自社情報"), 1)(0, 1), QStringLiteral("1"));
    QCOMPARE(db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("0"));
    db.close();
    // The folder works: a command opens it without a working directory there.
    const Run report = run(cli, {"--folder", folder, "report", "rfm"});
    QVERIFY2(report.status == 0, qPrintable(report.err));
}

void TestInstall::command_lines_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");  // in what was printed
    QTest::newRow("sales --help") << "sales" << QStringList{"--help"} << 0 << "Usage: sales [--folder DIR]";
    QTest::newRow("sales -h japanese") << "sales" << QStringList{"-h"} << 0 << "使い方: sales";
    QTest::newRow("sales --version") << "sales" << QStringList{"--version"} << 0 << "営業手帳 (sales) ";
    QTest::newRow("sales unknown") << "sales" << QStringList{"--colour"} << 2
                                   << "不明なオプションです: --colour";
    QTest::newRow("sales --folder alone") << "sales" << QStringList{"--folder"} << 2 << "--folder";
    QTest::newRow("cli alone") << "sales-cli" << QStringList{} << 2 << "Usage: sales-cli";
    QTest::newRow("cli unknown") << "sales-cli" << QStringList{"--colour"} << 2
                                 << "不明なオプションです: --colour";
    QTest::newRow("cli --folder alone") << "sales-cli" << QStringList{"--folder"} << 2 << "--folder";
    // The installed postal table, found beside the installed program.
    QTest::newRow("cli postal") << "sales-cli" << QStringList{"postal", "100-0001"} << 0
                                << "100-0001\t東京都\t千代田区\t千代田\n";
}

void TestInstall::command_lines() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, expected);
    // No display: the options are answered before any window system is needed.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // No postal table of the user's stands in for the installed one.
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_root.filePath(QStringLiteral("no-user-data")));
    env.remove(QStringLiteral("SALES_POSTAL_TABLE"));
    const Run r = run(QDir(usr()).filePath(QStringLiteral("bin/") + program), arguments, env);
    QCOMPARE(r.status, status);
    QVERIFY2((r.out + r.err).contains(expected), qPrintable(r.out + r.err));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
