// The customer frame's postal code, address and phone boxes, and the company screen's address: a
// hand-made postal table (tests/data/postal/utf_ken_all.csv) stands in for the shipped one.
#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "address/postal_source.h"
#include "test_folder.h"
#include "ui/common/address_entry.h"
#include "ui/customers/main_window.h"
#include "ui/masters/company_screen.h"

namespace {

// Types as the user does: ASCII by key, anything else committed by the input method (full-width
// digits come from the IME).
void type(QLineEdit* box, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(box, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(box, &commit);
        }
    }
}

enum Item { Prefecture = 2, Code1 = 3, Code2 = 4, Address = 5, Tel = 6, Fax = 7, Mobile = 8 };

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow window{folder.session(), prompter};

    QLineEdit* field(int i) { return window.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(i)); }
    QStringList address() {
        return {field(Prefecture)->text(), field(Code1)->text(), field(Code2)->text(),
                field(Address)->text()};
    }
};

}  // namespace

class TestAddressEntry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void code_fills_empty_address_data();
    void code_fills_empty_address();
    void typed_address_is_kept_unless_accepted_data();
    void typed_address_is_kept_unless_accepted();
    void address_of_the_code_asks_nothing();
    void several_towns_offer_a_choice_data();
    void several_towns_offer_a_choice();
    void unknown_code_says_so();
    void new_code_over_an_old_one();
    void shown_customer_looks_nothing_up();
    void address_finds_code_data();
    void address_finds_code();
    void company_address_holds_prefecture();
    void phone_grouped_on_leaving_box_data();
    void phone_grouped_on_leaving_box();
    void shown_number_is_marked_not_changed();

private:
    QTemporaryDir m_dir;
};

void TestAddressEntry::initTestCase() {
    const QString table = m_dir.filePath(QStringLiteral("postal.dat"));
    const QString source = QDir(qEnvironmentVariable("SALES_TEST_DATA")).filePath("postal/utf_ken_all.csv");
    const PostalUpdate update = update_postal_table(source, table);
    QVERIFY2(update.ok, qPrintable(update.message));
    qputenv("SALES_POSTAL_TABLE", QFile::encodeName(table));
}

void TestAddressEntry::code_fills_empty_address_data() {
    QTest::addColumn<QString>("first");   // typed into 郵便番号1
    QTest::addColumn<QString>("second");  // then into 郵便番号2
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("seven digits in the first box")
        << "1000001"
        << "" << QStringList{"東京都", "100", "0001", "千代田区千代田"};
    QTest::newRow("with a hyphen") << "100-0001"
                                   << "" << QStringList{"東京都", "100", "0001", "千代田区千代田"};
    QTest::newRow("full width in the second box")
        << ""
        << "１００－０００１" << QStringList{"東京都", "100", "0001", "千代田区千代田"};
    QTest::newRow("over both boxes") << "060"
                                     << "0042" << QStringList{"北海道", "060", "0042", "札幌市中央区大通西"};
    QTest::newRow("code of the rest of a city") << "0600000"
                                                << "" << QStringList{"北海道", "060", "0000", "札幌市中央区"};
    QTest::newRow("six digits: nothing yet") << "100"
                                             << "000" << QStringList{"", "100", "000", ""};
}

void TestAddressEntry::code_fills_empty_address() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, shown);
    Fixture f;
    type(f.field(Code1), first);
    type(f.field(Code2), second);
    QCOMPARE(f.address(), shown);
    QVERIFY(f.prompter.questions.isEmpty());
    QVERIFY(f.prompter.messages.isEmpty());
}

void TestAddressEntry::typed_address_is_kept_unless_accepted_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("no") << false << QStringList{"東京都", "100", "0001", "港区芝公園１－１"};
    QTest::newRow("yes") << true << QStringList{"東京都", "100", "0001", "千代田区千代田"};
}

void TestAddressEntry::typed_address_is_kept_unless_accepted() {
    QFETCH(bool, yes);
    QFETCH(QStringList, shown);
    Fixture f;
    f.field(Prefecture)->setText(QStringLiteral("東京都"));
    f.field(Address)->setText(QStringLiteral("港区芝公園１－１"));
    f.prompter.answers << yes;
    type(f.field(Code1), QStringLiteral("1000001"));
    QCOMPARE(f.prompter.questions.size(), 1);
    QVERIFY2(f.prompter.questions.first().contains(QStringLiteral("東京都千代田区千代田")),
             qPrintable(f.prompter.questions.first()));
    QVERIFY(f.prompter.questions.first().contains(QStringLiteral("港区芝公園１－１")));
    QCOMPARE(f.address(), shown);
}

// An address that already is the code's (a 番地 after it) is neither asked about nor changed.
void TestAddressEntry::address_of_the_code_asks_nothing() {
    Fixture f;
    f.field(Address)->setText(QStringLiteral("千代田区千代田１－１"));
    type(f.field(Code2), QStringLiteral("100-0001"));
    QVERIFY(f.prompter.questions.isEmpty());
    QCOMPARE(f.address(), (QStringList{"東京都", "100", "0001", "千代田区千代田１－１"}));
}

void TestAddressEntry::several_towns_offer_a_choice_data() {
    QTest::addColumn<int>("choice");  // -1: cancel
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("second town") << 1 << QStringList{"愛知県", "452", "0961", "清須市春日一番割"};
    QTest::newRow("cancel") << -1 << QStringList{"", "452", "0961", ""};
}

void TestAddressEntry::several_towns_offer_a_choice() {
    QFETCH(int, choice);
    QFETCH(QStringList, shown);
    Fixture f;
    f.prompter.choices << choice;
    type(f.field(Code1), QStringLiteral("4520961"));
    QCOMPARE(f.prompter.choice_lists.size(), 1);
    QCOMPARE(f.prompter.choice_lists.first(),
             (QStringList{"452-0961　愛知県清須市春日明河原", "452-0961　愛知県清須市春日一番割",
                          "452-0961　愛知県清須市春日壱屋敷"}));
    QCOMPARE(f.address(), shown);
}

void TestAddressEntry::unknown_code_says_so() {
    Fixture f;
    f.field(Address)->setText(QStringLiteral("どこか"));
    type(f.field(Code1), QStringLiteral("999-9999"));
    QCOMPARE(f.prompter.messages, QStringList{"郵便番号 999-9999 は郵便番号データにありません。"});
    QCOMPARE(f.address(), (QStringList{"", "999-9999", "", "どこか"}));
}

// A whole code typed into the first box while the second still holds the last code's part is read
// when its seventh digit is typed, not after its third.
void TestAddressEntry::new_code_over_an_old_one() {
    Fixture f;
    f.field(Prefecture)->setText(QStringLiteral("東京都"));
    f.field(Code1)->setText(QStringLiteral("100"));
    f.field(Code2)->setText(QStringLiteral("0001"));
    f.field(Address)->setText(QStringLiteral("千代田区千代田１－１"));
    f.field(Code1)->clear();
    f.prompter.choices << 2;
    type(f.field(Code1), QStringLiteral("4520961"));
    QVERIFY(f.prompter.questions.isEmpty());
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.prompter.choice_lists.size(), 1);
    QCOMPARE(f.address(), (QStringList{"愛知県", "452", "0961", "清須市春日壱屋敷"}));
}

void TestAddressEntry::shown_customer_looks_nothing_up() {
    Fixture f;
    f.folder.exec(
        "insert into 顧客 (顧客名,顧客名かな,都道府県,郵便番号1,郵便番号2,住所) "
        "values('山田商事','やまだ','東京都','100','0001','港区芝公園')");
    QVERIFY(f.window.show_customer(f.folder.value("select 顧客ID from 顧客")));
    QVERIFY(f.prompter.questions.isEmpty());
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.address(), (QStringList{"東京都", "100", "0001", "港区芝公園"}));
}

void TestAddressEntry::address_finds_code_data() {
    QTest::addColumn<QString>("prefecture");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("key");  // F4 instead of the button
    QTest::addColumn<int>("choice");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("choices_offered");
    QTest::newRow("one code") << "東京都"
                              << "渋谷区恵比寿1-2-3" << false << -1
                              << QStringList{"東京都", "150", "0013", "渋谷区恵比寿1-2-3"} << 0;
    QTest::newRow("F4, prefecture filled in")
        << ""
        << "北海道札幌市中央区旭ヶ丘5" << true << -1
        << QStringList{"北海道", "064", "0941", "北海道札幌市中央区旭ヶ丘5"} << 0;
    QTest::newRow("two codes, second chosen")
        << "北海道"
        << "札幌市中央区大通西２５" << false << 1
        << QStringList{"北海道", "064", "0820", "札幌市中央区大通西２５"} << 1;
    QTest::newRow("two codes, cancelled") << "北海道"
                                          << "札幌市中央区大通西２５" << false << -1
                                          << QStringList{"北海道", "", "", "札幌市中央区大通西２５"} << 1;
}

void TestAddressEntry::address_finds_code() {
    QFETCH(QString, prefecture);
    QFETCH(QString, address);
    QFETCH(bool, key);
    QFETCH(int, choice);
    QFETCH(QStringList, shown);
    QFETCH(int, choices_offered);
    Fixture f;
    f.window.show();
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.field(Prefecture)->setText(prefecture);
    f.field(Address)->setText(address);
    f.prompter.choices << choice;
    if (key) {
        f.field(Address)->setFocus();
        QTest::keyClick(f.field(Address), Qt::Key_F4);
    } else {
        QTest::mouseClick(f.window.findChild<QPushButton*>("postalSearch"), Qt::LeftButton);
    }
    QCOMPARE(f.prompter.choice_lists.size(), choices_offered);
    QCOMPARE(f.address(), shown);
    QVERIFY(f.prompter.messages.isEmpty());
}

// The company row has no 都道府県 box: its 住所 gets the prefecture.
void TestAddressEntry::company_address_holds_prefecture() {
    TestFolder folder;
    QueuedPrompter prompter;
    CompanyScreen screen(folder.session(), prompter);
    auto* code1 = screen.findChild<QLineEdit*>("Text1_2");
    auto* code2 = screen.findChild<QLineEdit*>("Text1_3");
    auto* address = screen.findChild<QLineEdit*>("Text1_4");
    address->clear();
    type(code1, QStringLiteral("１５０６００１"));
    QCOMPARE(code1->text(), QStringLiteral("150"));
    QCOMPARE(code2->text(), QStringLiteral("6001"));
    QCOMPARE(address->text(), QStringLiteral("東京都渋谷区恵比寿恵比寿ガーデンプレイス１階"));
    // Back from the address to the code.
    code1->clear();
    code2->clear();
    address->setText(QStringLiteral("東京都千代田区千代田１－１"));
    QTest::mouseClick(screen.findChild<QPushButton*>("postalSearch"), Qt::LeftButton);
    QCOMPARE(code1->text() + code2->text(), QStringLiteral("1000001"));
    QVERIFY(prompter.questions.isEmpty());
}

void TestAddressEntry::phone_grouped_on_leaving_box_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("marked");
    QTest::newRow("TEL") << int(Tel) << "0312345678"
                         << "03-1234-5678" << false;
    QTest::newRow("FAX full width") << int(Fax) << "０６（１２３４）５６７８"
                                    << "06-1234-5678" << false;
    QTest::newRow("携帯 international") << int(Mobile) << "+81 90 1234 5678"
                                        << "090-1234-5678" << false;
    QTest::newRow("invalid kept and marked") << int(Tel) << "031234567"
                                             << "031234567" << true;
    QTest::newRow("foreign kept") << int(Fax) << "+1 650 253 0000"
                                  << "+1 650 253 0000" << false;
}

void TestAddressEntry::phone_grouped_on_leaving_box() {
    QFETCH(int, item);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, marked);
    Fixture f;
    f.window.show();
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QLineEdit* box = f.field(item);
    box->setFocus();
    type(box, typed);
    // Nothing changes while the number is being typed.
    QCOMPARE(box->text(), typed);
    QVERIFY(!PhoneNumberEntry::mark_of(box)->isVisible());
    QTest::keyClick(box, Qt::Key_Return);  // to the next box
    QVERIFY(!box->hasFocus());
    QCOMPARE(box->text(), shown);
    QCOMPARE(PhoneNumberEntry::mark_of(box)->isVisible(), marked);
}

// A stored number is shown as stored: only its mark says the library does not know it.
void TestAddressEntry::shown_number_is_marked_not_changed() {
    Fixture f;
    f.folder.exec(
        "insert into 顧客 (顧客名,顧客名かな,TEL,FAX,携帯) "
        "values('山田商事','やまだ','0312345678','12345','')");
    QVERIFY(f.window.show_customer(f.folder.value("select 顧客ID from 顧客")));
    QCOMPARE(f.field(Tel)->text(), QStringLiteral("0312345678"));
    QVERIFY(!PhoneNumberEntry::mark_of(f.field(Tel))->isVisible());
    QCOMPARE(f.field(Fax)->text(), QStringLiteral("12345"));
    QVERIFY(PhoneNumberEntry::mark_of(f.field(Fax))->isVisible());
    QVERIFY(!PhoneNumberEntry::mark_of(f.field(Mobile))->isVisible());
}

QTEST_MAIN(TestAddressEntry)
#include "test_address_entry.moc"
