// ファイル → 持ち出し… and 同期 from the main window: the copy, the window's line about it, the conflict
// question with both versions, and an office out of reach.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "customers/customer_store.h"
#include "sync/sync_tables.h"
#include "sync_support.h"
#include "test_folder.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "ui/sync/conflict_dialog.h"

namespace {

const QDate kToday(2026, 12, 8);

OfficeIdentity identity_of(TestFolder& office) {
    return {QStringLiteral("Jet"), QStringLiteral("sales.mdb"), office.path()};
}

// A main window on a session with the sync menu items hooked in.
struct Window {
    QueuedPrompter prompter;
    MainWindow window;
    explicit Window(Session& session) : window(session, prompter) {
        install_sync_screens(ScreenContext{session, prompter, window});
    }
    void trigger(const char* name) { window.findChild<QAction*>(QString::fromLatin1(name))->trigger(); }
    QString notice() {
        auto* label = window.findChild<QLabel*>(QStringLiteral("copyNotice"));
        return label && !label->isHidden() ? label->text() : QString();
    }
};

// Answers the next conflict question: checks it with look, then acts on the dialog.
void answer_conflict(const std::function<void(ConflictDialog&)>& act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<ConflictDialog*>(w);
            if (dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(*dialog);
                return;
            }
        }
    });
    timer->start();
}

QString cell(ConflictDialog& dialog, const QString& column, int c) {
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("fieldsT"));
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0)->text() == column)
            return table->item(r, c)->text();
    return QStringLiteral("(no row)");
}

bool bold(ConflictDialog& dialog, const QString& column) {
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("fieldsT"));
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0)->text() == column)
            return table->item(r, 1)->font().bold();
    return false;
}

QStringList with(Database& db, const QString& id, const QString& tel, const QString& fax) {
    QStringList fields = load_customer(db, id)->mid(1, kCustomerFieldCount);
    fields[customer_field_columns().indexOf(QStringLiteral("TEL"))] = tel;
    fields[customer_field_columns().indexOf(QStringLiteral("FAX"))] = fax;
    return fields;
}

}  // namespace

class TestSyncScreens : public QObject {
    Q_OBJECT
private slots:
    void checkout_from_the_menu_writes_a_copy();
    void the_window_shows_a_taken_out_copy();
    void the_conflict_question_shows_both_versions_and_stores_the_choice_data();
    void the_conflict_question_shows_both_versions_and_stores_the_choice();
    void the_shown_customer_keeps_showing_under_the_office_key();
    void an_office_out_of_reach_is_told();
    void sync_on_the_office_database_is_refused();
};

void TestSyncScreens::checkout_from_the_menu_writes_a_copy() {
    TestFolder office(kToday);
    office.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"));
    Window w(office.session());
    w.trigger("checkout");  // the folder dialog cancelled: nothing happens
    QVERIFY(w.prompter.messages.isEmpty());
    QTemporaryDir target;
    const QString folder = target.path() + QStringLiteral("/ノート");
    w.prompter.folders << folder;
    w.trigger("checkout");
    QVERIFY2(w.prompter.last().startsWith(QStringLiteral("持ち出しました。\nフォルダ: ") +
                                          QDir::toNativeSeparators(folder) +
                                          QStringLiteral("\n顧客 1 件、受注 0 件")),
             qPrintable(w.prompter.last()));
    QVERIFY(w.prompter.progress_labels.contains(QStringLiteral("コピー中: 顧客")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/sales.ini")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/mail")));
    QCOMPARE(w.notice(), QString());  // the office's own database is no copy
}

void TestSyncScreens::the_window_shows_a_taken_out_copy() {
    TestFolder office(kToday);
    const QString id = office.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"));
    LaptopCopy laptop(office.db(), identity_of(office), kToday);
    Window w(laptop.session());
    const QString since = copy_time_text(read_copy_info(laptop.db()).taken_at).left(16);
    QCOMPARE(w.notice(), QStringLiteral("持ち出したコピー（%1 から）　未送信の変更 0 件").arg(since));
    laptop.exec(QStringLiteral("update 顧客 set TEL='1' where 顧客ID=") + id);
    laptop.exec(QStringLiteral("insert into 訪問 (顧客ID,名称) values(%1,'訪問')").arg(id));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w.window, &activate);  // back from another window
    QCOMPARE(w.notice(), QStringLiteral("持ち出したコピー（%1 から）　未送信の変更 2 件").arg(since));
    w.trigger("sync");
    const QString synced = copy_time_text(read_copy_info(laptop.db()).synced_at).left(16);
    QCOMPARE(
        w.notice(),
        QStringLiteral("持ち出したコピー（%1 から）　最終同期 %2　未送信の変更 0 件").arg(since, synced));
    QCOMPARE(w.prompter.last(), QStringLiteral("同期しました。\n2 件送信, 0 件受信, 0 件の競合"));
    QVERIFY(w.prompter.progress_labels.contains(QStringLiteral("受信中: 顧客")));
}

void TestSyncScreens::the_conflict_question_shows_both_versions_and_stores_the_choice_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("radio");   // clicked before the button ("" for none)
    QTest::addColumn<QString>("office");  // TEL/FAX in the office afterwards
    QTest::addColumn<QString>("summary");
    QTest::newRow("laptop") << "laptopB"
                            << ""
                            << "ノートTEL/ノートFAX"
                            << "1 件送信, 0 件受信, 1 件の競合";
    QTest::newRow("office") << "officeB"
                            << ""
                            << "事務所TEL/事務所FAX"
                            << "0 件送信, 1 件受信, 1 件の競合";
    QTest::newRow("field by field") << "fieldsB"
                                    << "office_FAX"
                                    << "ノートTEL/事務所FAX"
                                    << "1 件送信, 0 件受信, 1 件の競合";
    QTest::newRow("later") << "laterB"
                           << ""
                           << "事務所TEL/事務所FAX"
                           << "0 件送信, 0 件受信, 1 件の競合";
}

void TestSyncScreens::the_conflict_question_shows_both_versions_and_stores_the_choice() {
    QFETCH(QString, button);
    QFETCH(QString, radio);
    QFETCH(QString, office);
    QFETCH(QString, summary);
    TestFolder office_folder(kToday);
    const QString id = office_folder.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"));
    LaptopCopy laptop(office_folder.db(), identity_of(office_folder), kToday);
    update_customer(laptop.db(),
                    with(laptop.db(), id, QStringLiteral("ノートTEL"), QStringLiteral("ノートFAX")), id);
    update_customer(office_folder.db(),
                    with(office_folder.db(), id, QStringLiteral("事務所TEL"), QStringLiteral("事務所FAX")),
                    id);
    Window w(laptop.session());
    bool asked = false;
    answer_conflict([&](ConflictDialog& dialog) {
        asked = true;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("同期の競合"));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("Label1"))
                    ->text()
                    .startsWith(QStringLiteral("顧客「山田商事」")));
        QCOMPARE(cell(dialog, QStringLiteral("TEL"), 1), QStringLiteral("ノートTEL"));
        QCOMPARE(cell(dialog, QStringLiteral("TEL"), 2), QStringLiteral("事務所TEL"));
        QCOMPARE(cell(dialog, QStringLiteral("FAX"), 1), QStringLiteral("ノートFAX"));
        QCOMPARE(cell(dialog, QStringLiteral("FAX"), 2), QStringLiteral("事務所FAX"));
        QCOMPARE(cell(dialog, QStringLiteral("顧客名"), 1), QStringLiteral("山田商事"));
        QVERIFY(bold(dialog, QStringLiteral("TEL")));
        QVERIFY(!bold(dialog, QStringLiteral("顧客名")));
        QCOMPARE(cell(dialog, QStringLiteral("検索文字列"), 1), QStringLiteral("(no row)"));
        if (!radio.isEmpty())
            dialog.findChild<QRadioButton*>(radio)->click();
        dialog.findChild<QPushButton*>(button)->click();
    });
    w.trigger("sync");
    QVERIFY(asked);
    QVERIFY2(w.prompter.last().startsWith(QStringLiteral("同期しました。\n") + summary),
             qPrintable(w.prompter.last()));
    QCOMPARE(office_folder.value(QStringLiteral("select TEL || '/' || FAX from 顧客 where 顧客ID=") + id),
             office);
    QCOMPARE(pending_change_count(laptop.db()), button == QLatin1String("laterB") ? 1 : 0);
}

void TestSyncScreens::the_shown_customer_keeps_showing_under_the_office_key() {
    TestFolder office(kToday);
    office.add_customer(QStringLiteral("山田商事"), QStringLiteral("やまだ"));
    LaptopCopy laptop(office.db(), identity_of(office), kToday);
    QStringList fields(kCustomerFieldCount);
    fields[0] = QStringLiteral("ノートの新規");
    fields[1] = QStringLiteral("のーと");
    insert_customer(laptop.db(), fields);
    const QString laptop_key = laptop.value(QStringLiteral("select max(顧客ID) from 顧客"));
    office.add_customer(QStringLiteral("事務所の新規"), QStringLiteral("じむしょ"));
    Window w(laptop.session());
    QVERIFY(w.window.show_customer(laptop_key));
    w.trigger("sync");
    QCOMPARE(laptop.session().current_customer_id, QStringLiteral("3"));
    QCOMPARE(w.window.findChild<QLineEdit*>(QStringLiteral("Text1_0"))->text(),
             QStringLiteral("ノートの新規"));
}

void TestSyncScreens::an_office_out_of_reach_is_told() {
    TestFolder office(kToday);
    LaptopCopy laptop(office.db(), identity_of(office), kToday);
    office.db().close();
    QVERIFY(QFile::rename(office.database_path(), office.database_path() + QStringLiteral(".away")));
    Window w(laptop.session());
    w.trigger("sync");
    QVERIFY2(w.prompter.last().startsWith(QStringLiteral("事務所のデータベースに接続できません。")),
             qPrintable(w.prompter.last()));
    QVERIFY(w.prompter.last().contains(QStringLiteral("このノートPCでは、このまま作業を続けられます")));
    QVERIFY(w.notice().startsWith(QStringLiteral("持ち出したコピー")));
}

void TestSyncScreens::sync_on_the_office_database_is_refused() {
    TestFolder office(kToday);
    Window w(office.session());
    w.trigger("sync");
    QVERIFY(
        w.prompter.last().startsWith(QStringLiteral("このデータベースは持ち出したコピーではありません。")));
}

QTEST_MAIN(TestSyncScreens)
#include "test_sync_screens.moc"
