#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/user_folder.h"

class TestUserFolder : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void arguments_data();
    void arguments();
    void folder_data();
    void folder();
    void cli_leaves_other_folders_alone_data();
    void cli_leaves_other_folders_alone();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestUserFolder::init() {
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qunsetenv("XDG_CONFIG_HOME");
}

void TestUserFolder::cleanup() {
    m_home.reset();
}

void TestUserFolder::arguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("folder");
    QTest::newRow("none") << QStringList{} << int(SalesArguments::Run) << "";
    QTest::newRow("folder") << QStringList{"--folder", "/tmp/a b"} << int(SalesArguments::Run) << "/tmp/a b";
    QTest::newRow("folder=") << QStringList{"--folder=/x"} << int(SalesArguments::Run) << "/x";
    QTest::newRow("qt option with value")
        << QStringList{"-platform", "offscreen", "--folder", "/y"} << int(SalesArguments::Run) << "/y";
    QTest::newRow("help wins over version")
        << QStringList{"--version", "-h"} << int(SalesArguments::Help) << "";
    QTest::newRow("version") << QStringList{"-v"} << int(SalesArguments::Version) << "";
    QTest::newRow("unknown") << QStringList{"--fodler", "/x"} << int(SalesArguments::Error) << "";
    QTest::newRow("folder without value") << QStringList{"--folder"} << int(SalesArguments::Error) << "";
    QTest::newRow("empty folder=") << QStringList{"--folder="} << int(SalesArguments::Error) << "";
    QTest::newRow("stray word") << QStringList{"demo"} << int(SalesArguments::Error) << "";
}

void TestUserFolder::arguments() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, folder);
    const SalesArguments parsed = parse_sales_arguments(arguments);
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(parsed.folder, folder);
    QCOMPARE(parsed.error.isEmpty(), action != int(SalesArguments::Error));
}

void TestUserFolder::folder_data() {
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("working_has_ini");
    QTest::addColumn<bool>("settings_name_one");
    QTest::addColumn<QString>("expected");  // "named", "working", "settings", "home"
    QTest::newRow("menu start") << false << false << false << "home";
    QTest::newRow("folder with sales.ini") << false << true << false << "working";
    QTest::newRow("named wins") << true << true << true << "named";
    QTest::newRow("settings name the folder") << false << false << true << "settings";
    QTest::newRow("sales.ini wins over settings") << false << true << true << "working";
}

void TestUserFolder::folder() {
    QFETCH(bool, named);
    QFETCH(bool, working_has_ini);
    QFETCH(bool, settings_name_one);
    QFETCH(QString, expected);
    QTemporaryDir working;
    if (working_has_ini) {
        QFile ini(working.filePath("sales.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
    }
    const QString elsewhere = m_home->filePath("データ/営業");
    if (settings_name_one)
        QVERIFY(remember_user_program_folder(elsewhere));
    const QString named_folder = m_home->filePath("named");
    const QMap<QString, QString> folders = {{"named", named_folder},
                                            {"working", working.path()},
                                            {"settings", elsewhere},
                                            {"home", m_home->filePath("営業手帳")}};
    QCOMPARE(find_program_folder(named ? named_folder : QString(), working.path()), folders.value(expected));
}

// sales-cli finds out whether it stands in a program folder before it writes help/ there.
void TestUserFolder::cli_leaves_other_folders_alone_data() {
    QTest::addColumn<QStringList>("arguments");
    for (const QStringList& command : {QStringList{"report", "rfm"}, QStringList{"export", "goods", "g.csv"},
                                       QStringList{"backup", "b.mdb"}, QStringList{"fetch-mail"}})
        QTest::newRow(qPrintable(command.first())) << command;
}

void TestUserFolder::cli_leaves_other_folders_alone() {
    QFETCH(QStringList, arguments);
    QTemporaryDir folder;
    QProcess cli;
    cli.setWorkingDirectory(folder.path());
    cli.start(qEnvironmentVariable("SALES_CLI"), arguments);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

QTEST_GUILESS_MAIN(TestUserFolder)
#include "test_user_folder.moc"
