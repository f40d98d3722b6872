#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
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
    void empty_register_offers_the_first_employee();
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

// An empty database (はじめに → 空のデータベースで始める) leads to a working login: 社員を登録… adds the
// first employee and the company's name, who is then chosen and logs in; a refusal stores nothing.
void TestLogin::empty_register_offers_the_first_employee() {
    TestFolder folder;
    LoginWindow login(folder.session());
    login.show();
    auto* add = login.findChild<QPushButton*>("addEmployeeB");
    QVERIFY(add && add->isVisible());
    add->click();
    auto* dialog = login.findChild<QDialog*>("first_employee");
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit*>("Text1_0")->setText("株式会社サンプル");
    dialog->findChild<QLineEdit*>("Text1_1")->setText("山田 太郎");
    dialog->findChild<QPushButton*>("cmdOK")->click();  // without the reading
    QCOMPARE(dialog->findChild<QLabel*>("Label2")->text(), QStringLiteral("必要な情報を入力してください"));
    QCOMPARE(folder.count("社員") + folder.value("select 会社名 from 自社情報").size(), 0);
    dialog->findChild<QLineEdit*>("Text1_2")->setText("やまだ たろう");
    dialog->findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(folder.value("select 社員かな from 社員 where 社員='山田 太郎'"),
             QStringLiteral("やまだ たろう"));
    QCOMPARE(folder.value("select 会社名 from 自社情報"), QStringLiteral("株式会社サンプル"));
    login.findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(folder.session().current_employee, QStringLiteral("山田 太郎"));
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
