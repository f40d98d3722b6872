#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "analysis/cluster.h"
#include "test_folder.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"

namespace {

struct Fixture {
    TestFolder folder{QDate(2026, 12, 8)};
    QueuedPrompter prompter;
    MainWindow main{folder.session(), prompter};

    Fixture() { install_cluster_abc_screens(ScreenContext{folder.session(), prompter, main}); }
    Session& session() { return folder.session(); }

    // Customers named in order; each gets one order of the given amount (0: none) on 2026/06/01.
    void add_customers(const QStringList& names, const QVector<qint64>& amounts) {
        for (int i = 0; i < names.size(); ++i) {
            const QString id = folder.add_customer(names.at(i), QStringLiteral("かな"));
            if (amounts.value(i) > 0)
                folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額) "
                                           "values(%1,'佐藤','2026/06/01','注文',%2)")
                                .arg(id)
                                .arg(amounts.value(i)));
        }
    }

    // 椅子 bought by 一郎 (100) and 次郎 (400 + 100), 机 by 一郎 (50), all in the period.
    void add_goods_lines() {
        const QString chair = folder.add_goods(QStringLiteral("椅子"), QStringLiteral("100"));
        const QString desk = folder.add_goods(QStringLiteral("机"), QStringLiteral("100"));
        for (const auto& [goods, buyer, amount] :
             {std::tuple{chair, "一郎", 100}, std::tuple{chair, "次郎", 400}, std::tuple{chair, "次郎", 100},
              std::tuple{desk, "一郎", 50}})
            folder.exec(QStringLiteral("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) "
                                       "values(1,%1,%2,1,%3,'2026/06/01')")
                            .arg(goods, sql_text(QString::fromUtf8(buyer)))
                            .arg(amount));
    }

    QWidget* open(const QString& action, const QString& screen) {
        auto* a = main.findChild<QAction*>(action);
        if (!a)
            return nullptr;
        a->trigger();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == screen && w->isVisible())
                return w;
        return nullptr;
    }
};

QTreeWidget* tree(QWidget* screen) {
    return screen->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
}
QListWidget* list(QWidget* screen) {
    return screen->findChild<QListWidget*>(QStringLiteral("List1"));
}
QStringList list_texts(QWidget* screen) {
    QStringList texts;
    for (int i = 0; i < list(screen)->count(); ++i)
        texts << list(screen)->item(i)->text();
    return texts;
}

// The tree as "key text" lines, two spaces of indent per level, expanded state marked with "+".
void dump(const QTreeWidgetItem* item, int depth, QStringList& out) {
    out << QString(depth * 2, ' ') + item->data(0, Qt::UserRole).toString() + ' ' + item->text(0) +
               (item->isExpanded() ? QStringLiteral(" +") : QString());
    for (int i = 0; i < item->childCount(); ++i)
        dump(item->child(i), depth + 1, out);
}
QStringList dump(QWidget* screen) {
    QStringList out;
    for (int i = 0; i < tree(screen)->topLevelItemCount(); ++i)
        dump(tree(screen)->topLevelItem(i), 0, out);
    return out;
}

// Texts of the customer (and goods) nodes.
QStringList leaf_names(QWidget* screen) {
    QStringList names;
    for (QTreeWidgetItemIterator it(tree(screen)); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString().startsWith(QLatin1String("aaa")))
            names << (*it)->text(0);
    return names;
}

QTreeWidgetItem* find_node(QWidget* screen, const QString& key) {
    for (QTreeWidgetItemIterator it(tree(screen)); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == key)
            return *it;
    return nullptr;
}

void click_node(QWidget* screen, const QString& key) {
    QTreeWidgetItem* item = find_node(screen, key);
    QVERIFY2(item, qPrintable(key));
    tree(screen)->scrollToItem(item);
    const QRect rect = tree(screen)->visualItemRect(item);
    QVERIFY(rect.isValid());
    QTest::mouseClick(tree(screen)->viewport(), Qt::LeftButton, {}, rect.center());
}

void press(QWidget* screen, const char* button) {
    auto* b = screen->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(b, button);
    b->click();
}

}  // namespace

class TestClusterAbcScreens : public QObject {
    Q_OBJECT

private slots:
    void trees_show_the_analyses_data();
    void trees_show_the_analyses();
    void clicks_collect_names_for_the_mailing();
    void goods_node_collects_its_buyers();
    void refused_count_leaves_an_empty_tree();
    void close_button_keeps_the_result_window_close_recomputes_data();
    void close_button_keeps_the_result_window_close_recomputes();
};

void TestClusterAbcScreens::trees_show_the_analyses_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QStringList>("nodes");
    // The embedded database lists names by code point: 一郎, 三郎, 次郎; 机 before 椅子.
    QTest::newRow("cluster, three customers")
        << "clustering"
        << "clusterfrm" << QStringLiteral("クラスター分析 顧客を４つに分類 ") << QString()
        << QStringList{"r ルート +",    "  A グループ1(1 件)", "    aaa0 一郎", "  B グループ2(1 件)",
                       "    aaa1 三郎", "  C グループ3(1 件)", "    aaa2 次郎", "  D グループ4( 件)"};
    QTest::newRow("ABC of customers")
        << "abc_cust"
        << "abc_custfrm" << QStringLiteral("ABC分析 顧客") << QStringLiteral("2025/12/08")
        << QStringList{
               "r ルート +",    "  A グループ A (1　件)", "    aaa1 一郎",          "  B グループ B (1　件)",
               "    aaa3 次郎", "  C グループ C (0　件)", "  D グループ D (1　件)", "    aaa2 三郎"};
    // Buyers come under a goods node when it is first opened (see goods_node_collects_its_buyers).
    QTest::newRow("ABC of goods") << "abc_goods"
                                  << "abc_goodsfrm" << QStringLiteral("ABC分析　商品")
                                  << QStringLiteral("2025/12/08")
                                  << QStringList{"r ルート +",
                                                 "  A グループ A (1　件)",
                                                 "    aaa2 椅子",
                                                 "  B グループ B (0　件)",
                                                 "  C 数回の売り上げ (0　件)",
                                                 "  D 一回のみ (1　件)",
                                                 "    aaa1 机",
                                                 "  E 売り上げなし (0　件)"};
}

void TestClusterAbcScreens::trees_show_the_analyses() {
    QFETCH(QString, action);
    QFETCH(QString, screen);
    QFETCH(QString, title);
    QFETCH(QString, period);
    QFETCH(QStringList, nodes);
    Fixture f;
    f.add_customers({"一郎", "三郎", "次郎"}, {700, 0, 300});
    f.add_goods_lines();
    QWidget* w = f.open(action, screen);
    QVERIFY(w);
    QCOMPARE(f.prompter.messages, QStringList());
    QCOMPARE(w->windowTitle(), title);
    if (!period.isEmpty())
        QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("Text1_0"))->text(), period);
    QCOMPARE(dump(w), nodes);
    if (period.isEmpty())
        return;
    // The ABC legend explains the groups in the tree's order, A first, in terms of what is classed.
    const int groups = int(nodes.filter(QRegularExpression(QStringLiteral("^  [A-E] "))).size());
    for (int i = 0; i < groups; ++i) {
        auto* label = w->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 2));
        QVERIFY2(label, qPrintable(QString::number(i)));
        QVERIFY2(label->text().startsWith(QChar(u'A' + i)), qPrintable(label->text()));
        if (screen == QLatin1String("abc_goodsfrm"))
            QVERIFY2(!label->text().contains(QStringLiteral("顧客")), qPrintable(label->text()));
    }
}

void TestClusterAbcScreens::clicks_collect_names_for_the_mailing() {
    Fixture f;
    f.add_customers({"一郎", "三郎", "次郎", "四郎", "五郎"}, {1000, 0, 1000, 5000, 90000});
    f.session().mailing_list = QStringList{"既存"};
    QWidget* w = f.open(QStringLiteral("clustering"), QStringLiteral("clusterfrm"));
    QVERIFY(w);
    // 一郎 and 次郎 are twins: the one merge applied puts both in the first group.
    QCOMPARE(find_node(w, QStringLiteral("A"))->text(0), QStringLiteral("グループ1(2 件)"));
    click_node(w, QStringLiteral("A"));
    click_node(w, QStringLiteral("A"));
    QCOMPARE(list_texts(w), QStringList({"一郎", "次郎", "一郎", "次郎"}));
    click_node(w, QStringLiteral("aaa0"));  // a customer has no children
    QCOMPARE(list(w)->count(), 4);
    press(w, "Command2");
    QCOMPARE(list(w)->count(), 0);
    click_node(w, QStringLiteral("r"));
    QCOMPARE(list_texts(w),
             QStringList({"グループ1(2 件)", "グループ2(1 件)", "グループ3(1 件)", "グループ4(1 件)"}));
    click_node(w, QStringLiteral("D"));
    press(w, "Command3");
    QCOMPARE(f.session().mailing_list, QStringList({"既存", "グループ1(2 件)", "グループ2(1 件)",
                                                    "グループ3(1 件)", "グループ4(1 件)", "四郎"}));
    QCOMPARE(list(w)->count(), 5);  // the list keeps its entries
}

void TestClusterAbcScreens::goods_node_collects_its_buyers() {
    Fixture f;
    f.add_customers({"一郎", "次郎"}, {0, 0});
    f.add_goods_lines();
    QWidget* w = f.open(QStringLiteral("abc_goods"), QStringLiteral("abc_goodsfrm"));
    QVERIFY(w);
    click_node(w, QStringLiteral("A"));
    click_node(w, QStringLiteral("aaa2"));  // 椅子: its buyers, largest first
    click_node(w, QStringLiteral("aaa2"));
    QCOMPARE(list_texts(w), QStringList({"椅子", "次郎", "一郎", "次郎", "一郎"}));
    QCOMPARE(find_node(w, QStringLiteral("aaa2_1"))->text(0), QStringLiteral("次郎"));
    find_node(w, QStringLiteral("aaa1"))->setExpanded(true);  // opening a node shows its buyers too
    QCOMPARE(find_node(w, QStringLiteral("aaa1"))->childCount(), 1);
    QCOMPARE(find_node(w, QStringLiteral("aaa1_1"))->text(0), QStringLiteral("一郎"));
    press(w, "Command2");
    click_node(w, QStringLiteral("aaa1"));
    press(w, "Command3");
    QCOMPARE(f.session().mailing_list, QStringList({"一郎"}));
}

void TestClusterAbcScreens::refused_count_leaves_an_empty_tree() {
    Fixture f;
    f.add_customers({"一郎", "次郎"}, {100, 200});
    QWidget* w = f.open(QStringLiteral("clustering"), QStringLiteral("clusterfrm"));
    QVERIFY(w);
    QCOMPARE(f.prompter.messages, QStringList({kTooFewCasesMessage}));
    QCOMPARE(tree(w)->topLevelItemCount(), 0);
    QTest::mouseClick(tree(w)->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    press(w, "Command3");
    QCOMPARE(list(w)->count(), 0);
    QCOMPARE(f.session().mailing_list, QStringList());
}

void TestClusterAbcScreens::close_button_keeps_the_result_window_close_recomputes_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("group");  // a node whose children are customers
    QTest::newRow("cluster") << "clustering"
                             << "clusterfrm"
                             << "A";
    QTest::newRow("ABC of customers") << "abc_cust"
                                      << "abc_custfrm"
                                      << "D";
}

void TestClusterAbcScreens::close_button_keeps_the_result_window_close_recomputes() {
    QFETCH(QString, action);
    QFETCH(QString, screen);
    QFETCH(QString, group);
    Fixture f;
    f.add_customers({"一郎", "三郎", "次郎", "四郎"}, {0, 0, 0, 0});
    QPointer<QWidget> first = f.open(action, screen);
    QVERIFY(first);
    click_node(first, group);
    const QStringList collected = list_texts(first);
    QVERIFY(!collected.isEmpty());
    press(first, "Command1");
    QVERIFY(!first->isVisible());

    f.add_customers({"五郎"}, {0});
    QWidget* again = f.open(action, screen);
    QCOMPARE(again, first.data());  // the same window, its tree and list as they were
    QCOMPARE(list_texts(again), collected);
    QVERIFY(!leaf_names(again).contains(QStringLiteral("五郎")));

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QWidget* fresh = f.open(action, screen);
    QVERIFY(fresh);
    QCOMPARE(list(fresh)->count(), 0);
    QVERIFY(leaf_names(fresh).contains(QStringLiteral("五郎")));
}

QTEST_MAIN(TestClusterAbcScreens)
#include "test_cluster_abc_screens.moc"
