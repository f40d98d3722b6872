#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

#include "test_folder.h"
#include "ui/analysis/ranking_grid.h"
#include "ui/common/figure_text.h"
#include "ui/common/help_window.h"
#include "ui/common/screen_context.h"
#include "ui/common/window_places.h"
#include "ui/customers/main_window.h"
#include "ui/records/screens.h"

namespace {

QWidget* top_level(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && !w->testAttribute(Qt::WA_DeleteOnClose))
            return w;
    return nullptr;
}

QString help_source() {
    return QDir(qEnvironmentVariable("SALES_TEST_DATA"))
        .filePath(QStringLiteral("../../resources/help/index.html"));
}

struct Fixture {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow window{folder.session(), prompter};
    Screens screens{folder.session(), prompter, &window};

    Fixture() {
        folder.session().current_employee = QStringLiteral("佐藤");
        install_ranking_screens(ScreenContext{folder.session(), prompter, window});
        install_master_screens(ScreenContext{folder.session(), prompter, window});
        window.set_entry_opener([this](int link) { screens.open_entry(link); });
    }
    void put_help_page() {
        QDir(folder.path()).mkpath(QStringLiteral("help"));
        QVERIFY(QFile::copy(help_source(), QDir(folder.path()).filePath(QStringLiteral("help/index.html"))));
    }
    void show_customer(const QString& name) {
        const QString id = folder.add_customer(name, QStringLiteral("かぶ"));
        QVERIFY(window.show_customer(id));
    }
    void order(const QString& customer, const QString& amount) {
        folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                   "values(%1,'佐藤','2026/12/01','注文',%2,10,0)")
                        .arg(customer, amount));
    }
    void visits(const QString& customer, int count) {
        for (int i = 0; i < count; ++i)
            folder.exec(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) "
                                       "values(%1,'佐藤','2026/11/01','訪問','')")
                            .arg(customer));
    }
};

}  // namespace

class TestWindowManners : public QObject {
    Q_OBJECT
private slots:
    void figures_as_shown_data();
    void figures_as_shown();
    void yen_per_visit_shows_whole_yen_and_sorts_by_value();
    void f1_opens_help_at_the_window_section_data();
    void f1_opens_help_at_the_window_section();
    void ctrl_s_saves_and_esc_closes_entry_screen();
    void help_contents_numbers_match_headings();
    void window_reopens_where_it_was();
    void first_opening_is_centred_over_main_window();
};

void TestWindowManners::figures_as_shown_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("right");
    QTest::newRow("amount") << "受注金額"
                            << "260000"
                            << "260,000" << true;
    QTest::newRow("yen per visit") << "受注累計"
                                   << "3135442.85714286"
                                   << "3,135,443" << true;
    QTest::newRow("below a thousand") << "金額"
                                      << "999"
                                      << "999" << true;
    QTest::newRow("negative") << "値引き"
                              << "-1234567"
                              << "-1,234,567" << true;
    QTest::newRow("zero") << "見積もり金額"
                          << "0"
                          << "0" << true;
    QTest::newRow("empty count") << "訪問数"
                                 << ""
                                 << "0" << true;
    QTest::newRow("null amount") << "受注金額"
                                 << "-"
                                 << "0" << true;
    QTest::newRow("price keeps its fraction") << "単価"
                                              << "1234567.25"
                                              << "1,234,567.25" << true;
    QTest::newRow("rate") << "消費税率"
                          << "0.1"
                          << "0.1" << true;
    QTest::newRow("points") << "訪問数"
                            << "5点"
                            << "5点" << true;
    QTest::newRow("key") << "受注ID"
                         << "123456"
                         << "123456" << true;
    QTest::newRow("date") << "受注日"
                          << "2026/12/08"
                          << "2026/12/08" << false;
    QTest::newRow("name") << "顧客名"
                          << "山田商事"
                          << "山田商事" << false;
}

void TestWindowManners::figures_as_shown() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QFETCH(bool, right);
    QTableWidget grid(1, 2);
    grid.setItem(0, 1, new QTableWidgetItem(value));
    FigureDelegate* delegate = show_figures(&grid, {Figure::Text, figure_of_field(field)});
    const ShownCell cell = delegate->shown(grid.model()->index(0, 1));
    QCOMPARE(cell.text, shown);
    QCOMPARE(bool(cell.alignment & Qt::AlignRight), right);
    // The grid keeps the stored value for copies and exports.
    QCOMPARE(grid.item(0, 1)->text(), value);
}

void TestWindowManners::yen_per_visit_shows_whole_yen_and_sorts_by_value() {
    Fixture f;
    const QString a = f.folder.add_customer(QStringLiteral("A社"), QStringLiteral("えー"));
    const QString b = f.folder.add_customer(QStringLiteral("B社"), QStringLiteral("びー"));
    const QString c = f.folder.add_customer(QStringLiteral("C社"), QStringLiteral("しー"));
    f.order(a, QStringLiteral("21948100"));  // 7 visits: 3135442.857… per visit
    f.visits(a, 7);
    f.order(b, QStringLiteral("9000"));  // no visit
    f.order(c, QStringLiteral("100000"));
    f.visits(c, 1);
    f.window.findChild<QAction*>(QStringLiteral("order2visit"))->trigger();
    QWidget* screen = top_level(QStringLiteral("order2visitfrm"));
    QVERIFY(screen);
    auto* grid = screen->findChild<RankingGrid*>(QStringLiteral("MSFlexGrid1"));
    QCOMPARE(grid->shown_texts(0), (QStringList{"A社", "C社", "B社"}));
    QCOMPARE(grid->shown_texts(1), (QStringList{"3,135,443", "100,000", "9,000"}));
    QCOMPARE(grid->shown_texts(2), (QStringList{"7", "1", "0"}));
    QCOMPARE(grid->shown_texts(3), (QStringList{"21,948,100", "100,000", "9,000"}));
    // Ascending after a second click: by value, not by the shown text.
    grid->sort_by(1);
    grid->sort_by(1);
    QCOMPARE(grid->shown_texts(0), (QStringList{"B社", "C社", "A社"}));
    QCOMPARE(grid->column_texts(1).last(), QStringLiteral("3135442.85714286"));
}

void TestWindowManners::f1_opens_help_at_the_window_section_data() {
    QTest::addColumn<int>("link");  // entry link, -1 for the main window, -2 and -3 for menu screens
    QTest::addColumn<QString>("anchor");
    QTest::newRow("main window") << -1 << "main";
    QTest::newRow("order") << 0 << "order";
    QTest::newRow("visit") << 2 << "visit";
    QTest::newRow("cost") << 5 << "cost";
    QTest::newRow("削除済みデータ") << -2 << "deleted-rows";
    QTest::newRow("顧客の統合") << -3 << "merge";
}

void TestWindowManners::f1_opens_help_at_the_window_section() {
    QFETCH(int, link);
    QFETCH(QString, anchor);
    Fixture f;
    f.put_help_page();
    f.show_customer(QStringLiteral("山田商事"));
    QWidget* target = f.window.findChild<QLineEdit*>(QStringLiteral("findc"));
    if (link >= 0) {
        f.screens.open_entry(link);
        target = f.screens.entry_screen(link)->findChild<QLineEdit*>();
    } else if (link < -1) {
        const QString menu = link == -2 ? QStringLiteral("deleted_rows") : QStringLiteral("merge_customers");
        f.window.findChild<QAction*>(menu)->trigger();
        target = top_level(menu)->findChild<QAbstractItemView*>();
    }
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key_F1);
    HelpWindow* help = f.window.help()->window();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->browser()->source().fragment(), anchor);
    QCOMPARE(help->browser()->source().adjusted(QUrl::RemoveFragment).toLocalFile(),
             QFileInfo(QDir(f.folder.path()).filePath("help/index.html")).absoluteFilePath());
    // The section is there: the page scrolled away from its top to reach it.
    QVERIFY(help->browser()->document()->toHtml().contains(QStringLiteral("name=\"%1\"").arg(anchor)));
}

void TestWindowManners::ctrl_s_saves_and_esc_closes_entry_screen() {
    Fixture f;
    f.show_customer(QStringLiteral("山田商事"));
    f.screens.open_entry(2);
    QWidget* visit = f.screens.entry_screen(2);
    auto* title = visit->findChild<QLineEdit*>(QStringLiteral("Text1_2"));
    title->setText(QStringLiteral("挨拶"));
    QTest::keyClick(title, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.folder.value(QStringLiteral("select 名称 from 訪問")), QStringLiteral("挨拶"));
    // Esc closes without saving what was typed since.
    f.screens.open_entry(2);
    QVERIFY(visit->isVisible());
    title->setText(QStringLiteral("二度目"));
    QTest::keyClick(title, Qt::Key_Escape);
    QVERIFY(!visit->isVisible());
    QCOMPARE(f.folder.count(QStringLiteral("訪問")), 1);
}

void TestWindowManners::window_reopens_where_it_was() {
    QTemporaryDir config;
    const QString file = QDir(config.path()).filePath(QStringLiteral("windows.ini"));
    QRect placed;
    {
        Fixture f;
        new WindowPlaces(&f.window, file);
        f.window.findChild<QAction*>(QStringLiteral("del_data"))->trigger();
        QPointer<QWidget> screen = top_level(QStringLiteral("deldata"));
        QVERIFY(screen);
        placed = QRect(screen->geometry().topLeft() + QPoint(-23, 17), screen->size() + QSize(31, 12));
        screen->setGeometry(placed);
        placed = screen->geometry();
        screen->close();  // the window's own close control discards it
        QTRY_VERIFY(screen.isNull());
        f.window.findChild<QAction*>(QStringLiteral("del_data"))->trigger();
        QCOMPARE(top_level(QStringLiteral("deldata"))->geometry(), placed);
    }
    // And after the program has started again.
    Fixture f;
    new WindowPlaces(&f.window, file);
    f.window.findChild<QAction*>(QStringLiteral("del_data"))->trigger();
    QCOMPARE(top_level(QStringLiteral("deldata"))->geometry(), placed);
}

void TestWindowManners::first_opening_is_centred_over_main_window() {
    QTemporaryDir config;
    Fixture f;
    new WindowPlaces(&f.window, QDir(config.path()).filePath(QStringLiteral("windows.ini")));
    f.window.move(0, 0);
    f.window.findChild<QAction*>(QStringLiteral("del_data"))->trigger();
    QWidget* screen = top_level(QStringLiteral("deldata"));
    QVERIFY(screen);
    QVERIFY(screen->screen()->availableGeometry().contains(screen->geometry()));
    const QPoint off = screen->geometry().center() - f.window.geometry().center();
    QVERIFY2(off.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(off.x()).arg(off.y())));
    QVERIFY(screen->geometry().topLeft() != screen->screen()->availableGeometry().topLeft());
}

// The contents number each section as its heading does (a section without a number shifts them).
void TestWindowManners::help_contents_numbers_match_headings() {
    QFile file(help_source());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    const QString toc =
        page.section(QStringLiteral("<div class=\"toc\">"), 1).section(QStringLiteral("</div>"), 0, 0);
    // Items of a bulleted list (<ul>) inside the contents carry no number of their own.
    static const QRegularExpression item(QStringLiteral("<(/?)(ol|ul)>|href=\"#([^\"]+)\""));
    int depth = 0, bulleted = 0, section = 0, subsection = 0;
    for (QRegularExpressionMatchIterator it = item.globalMatch(toc); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(3).isEmpty()) {
            const int step = m.captured(1).isEmpty() ? 1 : -1;
            if (m.captured(2) == QLatin1String("ul")) {
                bulleted += step;
            } else {
                depth += step;
                subsection = 0;
            }
            continue;
        }
        if (bulleted > 0) {
            QVERIFY2(page.contains(QStringLiteral("id=\"%1\"").arg(m.captured(3))), qPrintable(m.captured(3)));
            continue;
        }
        const QString number = depth == 1 ? QStringLiteral("%1. ").arg(++section)
                                          : QStringLiteral("%1.%2 ").arg(section).arg(++subsection);
        const QString heading = QStringLiteral("id=\"%1\">%2").arg(m.captured(3), number);
        QVERIFY2(page.contains(heading), qPrintable(heading));
    }
    QVERIFY(section > 15);
}

QTEST_MAIN(TestWindowManners)
#include "test_window_manners.moc"
