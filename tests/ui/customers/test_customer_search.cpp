// Folded reading search, partial search, the list that reads names as they come into view, and a
// database made before the folded columns existed.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include "app/startup.h"
#include "customers/customer_store.h"
#include "db/schema.h"
#include "db/schema_upgrade.h"
#include "test_folder.h"
#include "ui/customers/main_window.h"

namespace {

// Saves a customer through the program's own save: name, reading, address, TEL, FAX, 携帯, Email, 担当者.
QString save(TestFolder& f, const QStringList& v) {
    QStringList fields(kCustomerFieldCount);
    const int at[] = {0, 1, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < v.size(); ++i)
        fields[at[i]] = v.at(i);
    insert_customer(f.db(), fields);
    return f.value(QStringLiteral("select max(顧客ID) from 顧客"));
}

QStringList names_of_session(Session& s, const QVector<QString>& ids) {
    QStringList names;
    for (const QString& n : customer_names(*s.db, ids))
        names << n;
    names.sort();
    return names;
}

QStringList names_of(TestFolder& f, const QVector<QString>& ids) {
    return names_of_session(f.session(), ids);
}

}  // namespace

class TestCustomerSearch : public QObject {
    Q_OBJECT
private slots:
    void folded_reading_data();
    void folded_reading();
    void partial_search_data();
    void partial_search();
    void old_database_is_upgraded_and_searched_folded();
    void newer_database_is_refused();
    void keyboard_and_typed_search_agree();
    void list_reads_names_as_they_come_into_view();
};

void TestCustomerSearch::folded_reading_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("match");
    QTest::newRow("same hiragana") << "かた"
                                   << "かたやま" << true;
    QTest::newRow("katakana typed") << "カタ"
                                    << "かたやま" << true;
    QTest::newRow("half-width typed") << "ｶﾀ"
                                      << "かたやま" << true;
    QTest::newRow("half-width over katakana") << "ｶﾀ"
                                              << "カタヤマ" << true;
    QTest::newRow("half-width voiced") << "ｶﾞｯ"
                                       << "がっこう" << true;
    QTest::newRow("separate voiced mark") << "か゛っ"
                                          << "がっこう" << true;
    QTest::newRow("separate mark stored") << "がっ"
                                          << "か゛っこう" << true;
    QTest::newRow("separate semi-voiced") << "は゜ん"
                                          << "ぱんや" << true;
    QTest::newRow("half-width semi-voiced") << "ﾊﾟﾝ"
                                            << "パンヤ" << true;
    QTest::newRow("unvoiced is another sound") << "か"
                                               << "がっこう" << false;
    QTest::newRow("small kana is another sound") << "つ"
                                                 << "っくす" << false;
    QTest::newRow("full-width letters stored") << "abc"
                                               << "ＡＢＣしょうじ" << true;
    QTest::newRow("letter case") << "ＡＢＣ"
                                 << "abcしょうじ" << true;
    QTest::newRow("full-width digits") << "123"
                                       << "１２３しょうかい" << true;
    QTest::newRow("vu") << "ヴぁ"
                        << "ゔぁいおりん" << true;
    QTest::newRow("prefix only") << "やま"
                                 << "かたやま" << false;
    QTest::newRow("percent is no wildcard") << "%"
                                            << "かたやま" << false;
    QTest::newRow("underscore is no wildcard") << "か_"
                                               << "かた" << false;
    QTest::newRow("underscore matches itself") << "a_"
                                               << "a_b" << true;
}

void TestCustomerSearch::folded_reading() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, match);
    TestFolder f;
    const QString id = save(f, {"甲商事", stored});
    save(f, {"乙商事", "んんん"});
    const QVector<QString> found = search_customer_ids(f.db(), typed);
    QCOMPARE(found, match ? QVector<QString>{id} : QVector<QString>{});
}

void TestCustomerSearch::partial_search_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("phone digits") << "0312" << QStringList{"山田商事"};
    QTest::newRow("phone with hyphen") << "3-1234-56" << QStringList{"山田商事"};
    QTest::newRow("phone with blanks, full width") << "０９０ ８８" << QStringList{"鈴木工業"};
    QTest::newRow("fax") << "06-6789" << QStringList{"鈴木工業"};
    QTest::newRow("address part") << "千代田" << QStringList{"山田商事"};
    QTest::newRow("address two characters") << "大阪" << QStringList{"鈴木工業"};
    QTest::newRow("house number as typed") << "1-2-3" << QStringList{"山田商事"};
    QTest::newRow("mail part, case folded") << "YAMADA@EX" << QStringList{"山田商事"};
    QTest::newRow("mail domain") << "example.jp" << QStringList{"山田商事", "鈴木工業"};
    QTest::newRow("contact katakana over hiragana") << "サトウ" << QStringList{"鈴木工業"};
    QTest::newRow("name middle") << "田商" << QStringList{"山田商事"};
    QTest::newRow("one character finds nothing yet") << "山" << QStringList{};
    QTest::newRow("no match across fields") << "事大" << QStringList{};
}

void TestCustomerSearch::partial_search() {
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    TestFolder f;
    save(f, {"山田商事", "やまだしょうじ", "東京都千代田区1-2-3", "03-1234-5678", "", "", "Yamada@Example.jp",
             "田中"});
    save(f, {"鈴木工業", "すずきこうぎょう", "大阪市北区", "", "06-6789-0000", "090-8888-7777",
             "info@example.jp", "さとう"});
    QCOMPARE(names_of(f, partial_search_customer_ids(f.db(), typed)), expected);
}

void TestCustomerSearch::old_database_is_upgraded_and_searched_folded() {
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("sales.mdb"));
    {
        // The tables as the program made them before the folded columns, with its plain insert.
        Database db;
        db.open_sqlite_file(file, true);
        for (const QString& s : schema_statements(Dialect::Sqlite) + seed_statements())
            db.execute_sql(s);
        db.execute_sql(
            QStringLiteral("insert into 顧客 (顧客名,顧客名かな,TEL) values('片山商店','かたやましょうてん',"
                           "'03-5555-1234')"));
        db.execute_sql(
            QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values('高田工業','たかだこうぎょう')"));
    }
    write_sales_ini(dir.path(), QStringLiteral("test"), QStringLiteral("Jet"), QStringLiteral("sales.mdb"));
    Session session;
    session.program_folder = dir.path();
    start_session(session);

    QCOMPARE(stored_schema_version(*session.db), current_schema_version());
    QCOMPARE(names_of_session(session, search_customer_ids(*session.db, QStringLiteral("ｶﾀ"))),
             QStringList{"片山商店"});
    QCOMPARE(names_of_session(session, partial_search_customer_ids(*session.db, QStringLiteral("55512"))),
             QStringList{"片山商店"});
    // The stored reading is as it was typed.
    QCOMPARE(session.db->query_rows(QStringLiteral("select 顧客名かな from 顧客 where 顧客ID=1"), 1)(0, 1),
             QStringLiteral("かたやましょうてん"));
    // A verified copy of the file as it was is left beside it; the next start needs none.
    const QStringList backups = QDir(dir.path()).entryList({QStringLiteral("backup_v0_*.mdb")});
    QCOMPARE(backups.size(), 1);
    {
        Database copy;
        copy.open_sqlite_file(QDir(dir.path()).filePath(backups.first()), false);
        QCOMPARE(stored_schema_version(copy), 0);
        QCOMPARE(copy.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1), QStringLiteral("2"));
    }
    Session again;
    again.program_folder = dir.path();
    start_session(again);
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("backup_v*.mdb")}).size(), 1);
}

void TestCustomerSearch::newer_database_is_refused() {
    TestFolder f;
    f.exec(QStringLiteral("update sales_schema set version=%1").arg(current_schema_version() + 1));
    Session session;
    session.program_folder = f.path();
    try {
        start_session(session);
        QFAIL("a newer database was opened");
    } catch (const StartupError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("新しい版")), qPrintable(e.message()));
    }
}

void TestCustomerSearch::keyboard_and_typed_search_agree() {
    TestFolder f;
    QueuedPrompter prompter;
    MainWindow window(f.session(), prompter);
    save(f, {"学研商事", "がっけんしょうじ"});
    save(f, {"ガス工業", "ガスこうぎょう"});
    save(f, {"加藤商店", "かとうしょうてん"});
    window.show();
    auto listed = [&] {
        QStringList names;
        auto* model = window.findChild<QListView*>("List1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->index(r, 0).data().toString();
        names.sort();
        return names;
    };
    auto* findc = window.findChild<QLineEdit*>("findc");
    window.press_key(9);   // か
    window.press_key(36);  // ゛
    const QStringList by_keys = listed();
    QCOMPARE(by_keys, (QStringList{"ガス工業", "学研商事"}));
    for (const char* typed : {"ｶﾞ", "か゛", "ガ"}) {
        findc->setText(QStringLiteral("あ"));
        findc->setText(QString::fromUtf8(typed));
        QCOMPARE(listed(), by_keys);
    }
    QCOMPARE(window.findChild<QLabel*>("hitCount")->text(), QStringLiteral("2 件"));
}

void TestCustomerSearch::list_reads_names_as_they_come_into_view() {
    TestFolder f;
    QueuedPrompter prompter;
    MainWindow window(f.session(), prompter);
    {
        Transaction tx(f.db());
        for (int i = 0; i < 1000; ++i)
            save(f, {QStringLiteral("田中商店%1").arg(i), "たなかしょうてん", "",
                     QStringLiteral("03-0000-%1").arg(i, 4, 10, QChar('0'))});
        tx.commit();
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QListView*>("List1");
    auto* model = qobject_cast<CustomerListModel*>(list->model());
    window.findChild<QLineEdit*>("findp")->setText(QStringLiteral("田中"));
    QCOMPARE(model->rowCount(), 1000);
    QCOMPARE(window.findChild<QLabel*>("hitCount")->text(), QStringLiteral("1000 件"));
    list->grab();  // paints as the screen would
    const int read = model->pages_loaded();
    QVERIFY2(read <= 2, "more than the rows in view were read");  // of ten pages of names
    const QModelIndex middle = model->index(550);
    list->scrollTo(middle, QAbstractItemView::PositionAtTop);
    list->setCurrentIndex(middle);
    list->grab();
    QCOMPARE(model->pages_loaded(), read + 1);
    QVERIFY(middle.data().toString().startsWith(QStringLiteral("田中商店")));
    // A narrower search that still holds the chosen customer keeps it chosen.
    const QString chosen = model->id_at(550);
    window.findChild<QLineEdit*>("findp")->setText(QStringLiteral("田中商店5"));
    QCOMPARE(model->id_at(list->currentIndex().row()), chosen);
}

QTEST_MAIN(TestCustomerSearch)
#include "test_customer_search.moc"
