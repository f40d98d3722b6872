// `sales` started from the menu: HOME is a fresh home folder and the working folder holds no sales.ini.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/user_folder.h"
#include "db/database.h"
#include "ui/app/login_window.h"
#include "ui/app/program.h"

namespace {
// Runs check on the visible top-level window named name as soon as it shows; gives up after 60 s.
void when_shown(const QString& name, std::function<void(QWidget*)> check, int waited = 0) {
    QTimer::singleShot(50, [=] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible())
                return check(w);
        if (waited < 60000)
            when_shown(name, check, waited + 50);
        else
            QApplication::exit(99);
    });
}
}  // namespace

class TestFirstStart : public QObject {
    Q_OBJECT
private slots:
    void sample_data_reaches_login();
    void quit_from_first_start_makes_nothing();
    void empty_database_reaches_the_main_window();
};

void TestFirstStart::sample_data_reaches_login() {
    QTemporaryDir home;
    QTemporaryDir working;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(QDir::setCurrent(working.path()));

    QString title;
    bool login_shown = false;
    when_shown(QStringLiteral("hajimeni"), [&](QWidget* first) {
        title = first->windowTitle();
        first->findChild<QPushButton*>(QStringLiteral("sampleB"))->click();
        when_shown(QStringLiteral("frmLogin"), [&](QWidget* login) {
            login_shown = true;
            login->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        });
    });
    const int status = start_program(*qApp, QString());
    QCOMPARE(status, 0);
    QCOMPARE(title, QStringLiteral("はじめに"));
    QVERIFY(login_shown);

    const QDir folder(home.filePath(QStringLiteral("営業手帳")));
    QCOMPARE(QDir::currentPath(), folder.path());
    QVERIFY(QFile::exists(folder.filePath("sales.ini")));
    Database db;
    db.open_sqlite_file(folder.filePath("sales.mdb"), false);
    QVERIFY(db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toInt() > 0);
    QVERIFY(db.query_rows(QStringLiteral("select count(*) from 受注"), 1)(0, 1).toInt() > 0);
    db.close();
    // Nothing was made in the working folder of the start.
    QVERIFY(QDir(working.path()).isEmpty());
}

void TestFirstStart::quit_from_first_start_makes_nothing() {
    QTemporaryDir home;
    QTemporaryDir working;
    qputenv("HOME", QFile::encodeName(home.path()));
    QVERIFY(QDir::setCurrent(working.path()));
    when_shown(QStringLiteral("hajimeni"),
               [](QWidget* first) { first->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click(); });
    QCOMPARE(start_program(*qApp, QString()), 0);
    QVERIFY(QDir(home.path()).isEmpty());
}

// 空のデータベースで始める is no dead end: the login registers the first employee, who logs in and
// reaches the main window.
void TestFirstStart::empty_database_reaches_the_main_window() {
    QTemporaryDir home;
    QTemporaryDir working;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(QDir::setCurrent(working.path()));

    QString main_title;
    // A control that is missing ends the run (with a status the test reports) instead of waiting.
    auto press = [](QWidget* window, const char* name) {
        if (auto* b = window->findChild<QPushButton*>(QString::fromLatin1(name)))
            b->click();
        else
            QApplication::exit(98);
    };
    when_shown(QStringLiteral("hajimeni"), [&](QWidget* first) {
        press(first, "emptyB");
        when_shown(QStringLiteral("frmLogin"), [&](QWidget* login) {
            QCOMPARE(login->findChild<QComboBox*>(QStringLiteral("Combo1"))->count(), 0);
            press(login, "addEmployeeB");
            when_shown(QStringLiteral("first_employee"), [&, login](QWidget* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("Text1_0"))
                    ->setText(QStringLiteral("株式会社テスト"));
                dialog->findChild<QLineEdit*>(QStringLiteral("Text1_1"))
                    ->setText(QStringLiteral("佐藤 一郎"));
                dialog->findChild<QLineEdit*>(QStringLiteral("Text1_2"))
                    ->setText(QStringLiteral("さとう いちろう"));
                press(dialog, "cmdOK");
                press(login, "cmdOK");
                when_shown(QStringLiteral("today_job"), [&](QWidget* today) {
                    press(today, "Command1");
                    when_shown(QStringLiteral("main"), [&](QWidget* main) {
                        main_title = main->windowTitle();
                        main->close();
                    });
                });
            });
        });
    });
    QCOMPARE(start_program(*qApp, QString()), 0);
    QCOMPARE(main_title, QStringLiteral("営業手帳 V9.21"));
    Database db;
    db.open_sqlite_file(QDir(home.filePath(QStringLiteral("営業手帳"))).filePath("sales.mdb"), false);
    QCOMPARE(db.query_rows(QStringLiteral("select 社員 from 社員"), 1)(0, 1), QStringLiteral("佐藤 一郎"));
    QCOMPARE(db.query_rows(QStringLiteral("select 会社名 from 自社情報"), 1)(0, 1),
             QStringLiteral("株式会社テスト"));
    db.close();
}

QTEST_MAIN(TestFirstStart)
#include "test_first_start.moc"
