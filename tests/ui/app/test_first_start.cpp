// `sales` started from the menu: HOME is a fresh home folder and the working folder holds no sales.ini.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
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

QTEST_MAIN(TestFirstStart)
#include "test_first_start.moc"
