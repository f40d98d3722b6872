#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "test_folder.h"
#include "ui/app/login_window.h"

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void empty_employee_table_lists_nothing_and_refuses();
    void chosen_employee_becomes_current();
    void cancel_ends_data();
    void cancel_ends();
    void fades_in_to_250();
};

void TestLogin::empty_employee_table_lists_nothing_and_refuses() {
    TestFolder folder;
    LoginWindow login(folder.session());
    QSignalSpy confirmed(&login, &LoginWindow::confirmed);
    auto* combo = login.findChild<QComboBox*>("Combo1");
    QVERIFY(combo);
    QCOMPARE(combo->count(), 0);
    login.findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(login.findChild<QLabel*>("Label2")->text(), QStringLiteral("担当者を指定してください"));
    QCOMPARE(confirmed.count(), 0);
    QVERIFY(folder.session().current_employee.isEmpty());
}

void TestLogin::chosen_employee_becomes_current() {
    TestFolder folder;
    folder.add_employee("山田 太郎");
    folder.add_employee("佐藤 花子");
    folder.add_employee("鈴木 一郎");
    folder.reload();
    QCOMPARE(folder.session().employee_count(), 3);

    LoginWindow login(folder.session());
    login.show();
    QSignalSpy confirmed(&login, &LoginWindow::confirmed);
    auto* combo = login.findChild<QComboBox*>("Combo1");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("山田 太郎"));
    QCOMPARE(combo->itemText(2), QStringLiteral("鈴木 一郎"));
    // Nothing is chosen until the user picks a name.
    QCOMPARE(combo->currentIndex(), -1);

    combo->setCurrentIndex(1);
    emit combo->activated(1);
    QCOMPARE(folder.session().current_employee, QStringLiteral("佐藤 花子"));
    login.findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(confirmed.count(), 1);
    QVERIFY(!login.isVisible());
}

void TestLogin::cancel_ends_data() {
    QTest::addColumn<bool>("close_control");
    QTest::newRow("キャンセル") << false;
    QTest::newRow("the window's own close control") << true;
}

void TestLogin::cancel_ends() {
    QFETCH(bool, close_control);
    TestFolder folder;
    LoginWindow login(folder.session());
    login.show();
    QSignalSpy cancelled(&login, &LoginWindow::cancelled);
    if (close_control)
        login.close();
    else
        login.findChild<QPushButton*>("cmdCancel")->click();
    QCOMPARE(cancelled.count(), 1);
    QVERIFY(!login.isVisible());
}

void TestLogin::fades_in_to_250() {
    TestFolder folder;
    LoginWindow login(folder.session());
    QCOMPARE(login.windowTitle(), QStringLiteral("ﾛｸﾞｵﾝ"));
    QCOMPARE(login.opacity_step(), 100);
    QCOMPARE(login.fade_timer()->interval(), 100);
    login.show();
    QTRY_COMPARE_WITH_TIMEOUT(login.opacity_step(), 250, 5000);
    QVERIFY(!login.fade_timer()->isActive());
    QTest::qWait(250);
    QCOMPARE(login.opacity_step(), 250);
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
