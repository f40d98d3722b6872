#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "print/print_job.h"
#include "test_folder.h"
#include "ui/analysis/ranking_grid.h"
#include "ui/common/list_tools.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"

namespace {

// A window holding one grid, tree or list with the given rows, with the list tools installed.
struct ListWindow {
    TestFolder folder;
    QueuedPrompter prompter;
    QWidget window;
    QAbstractItemView* view = nullptr;

    ListWindow(const QString& kind, const QVector<QStringList>& rows) {
        window.setWindowTitle(QStringLiteral("テスト一覧"));
        auto* layout = new QVBoxLayout(&window);
        if (kind == QLatin1String("grid")) {
            auto* grid = new RankingGrid({1500, 1500, 1500});
            Ranking ranking{rows.first(), {}};
            for (int r = 1; r < rows.size(); ++r)
                ranking.rows << RankedRow{QString::number(r), rows.at(r)};
            grid->set_ranking(ranking);
            view = grid;
        } else if (kind == QLatin1String("tree")) {
            auto* tree = new QTreeWidget;
            tree->setHeaderHidden(true);
            auto* group = new QTreeWidgetItem(tree, {rows.at(1).first()});
            new QTreeWidgetItem(group, {rows.at(2).first().trimmed()});
            group->setExpanded(true);
            view = tree;
        } else {
            auto* list = new QListWidget;
            for (int r = 1; r < rows.size(); ++r)
                list->addItem(rows.at(r).first());
            view = list;
        }
        layout->addWidget(view);
        install_list_tools(view, folder.session(), prompter, rows.first().first());
        window.show();
    }
    QAction* action(const char* name) const { return view->findChild<QAction*>(QString::fromLatin1(name)); }
};

QVector<QStringList> read_with_python(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv,json,sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
                                 "encoding='utf-8-sig', newline='')))))"),
                  path});
    python.waitForFinished(60000);
    QVector<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}

}  // namespace

class TestListTools : public QObject {
    Q_OBJECT
private slots:
    void export_read_back_data();
    void export_read_back();
    void file_menu_exports_window_worked_in();
    void copy_selected_cells_data();
    void copy_selected_cells();
    void print_repeats_heading_row();
    void wide_grid_prints_landscape_data();
    void wide_grid_prints_landscape();
    void chart_prints_as_lines();
    void tree_writes_what_is_open();
    void shift_click_copies_every_row_between();
    void export_opens_where_last_saved();
};

// What a spreadsheet reads from an export (Python's csv module, UTF-8 with BOM) is the list's cells.
void TestListTools::export_read_back_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVector<QStringList>>("rows");
    QTest::newRow("grid") << QStringLiteral("grid")
                          << QVector<QStringList>{{"顧客名", "金額", "備考"},
                                                  {"山田, 商事", "3135442.85714286", "\"特\""},
                                                  {"二行\n目", "260000", ""}};
    QTest::newRow("tree: child indented")
        << QStringLiteral("tree") << QVector<QStringList>{{"グループ"}, {"Aグループ"}, {"　青葉商店"}};
    QTest::newRow("list") << QStringLiteral("list") << QVector<QStringList>{{"顧客名"}, {"㈱髙橋"}, {"佐藤"}};
}

void TestListTools::export_read_back() {
    QFETCH(QString, kind);
    QFETCH(QVector<QStringList>, rows);
    ListWindow w(kind, rows);
    const QString path = QDir(w.folder.path()).filePath(QStringLiteral("一覧.csv"));
    w.prompter.export_files << path;
    w.action("export_list")->trigger();
    QCOMPARE(read_with_python(path), rows);
    QCOMPARE(w.prompter.last(), QStringLiteral("%1 件を書き出しました: %2").arg(rows.size() - 1).arg(path));
}

// ファイル → 書き出し writes the search list, and after working in the RFM window, its grid.
void TestListTools::file_menu_exports_window_worked_in() {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow main(folder.session(), prompter);
    install_ranking_screens(ScreenContext{folder.session(), prompter, main});
    install_export_print(ScreenContext{folder.session(), prompter, main});
    const QString id = folder.add_customer(QStringLiteral("森商店"), QStringLiteral("もり"));
    folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                               "values(%1,'佐藤','2026/11/20','注文',50000,10,0)")
                    .arg(id));
    main.show();
    QVERIFY(main.findChild<QAction*>(QStringLiteral("export"))->isEnabled());
    main.findChild<QLineEdit*>(QStringLiteral("findc"))->setText(QStringLiteral("もり"));
    const QString path = QDir(folder.path()).filePath(QStringLiteral("e.csv"));
    prompter.export_files << path << path;
    main.findChild<QAction*>(QStringLiteral("export"))->trigger();
    QCOMPARE(read_with_python(path), (QVector<QStringList>{{"顧客名"}, {"森商店"}}));

    main.findChild<QAction*>(QStringLiteral("rmf"))->trigger();
    QWidget* rfm = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != &main && w->findChild<RankingGrid*>())
            rfm = w;
    QVERIFY(rfm);
    QApplication::setActiveWindow(rfm);
    rfm->findChild<RankingGrid*>()->setFocus();
    QTRY_VERIFY(rfm->findChild<RankingGrid*>()->hasFocus());
    QApplication::setActiveWindow(&main);  // the menu is the main window's
    main.findChild<QAction*>(QStringLiteral("export"))->trigger();
    QCOMPARE(read_with_python(path).value(0), (QStringList{"顧客名", "総合", "R", "F", "M"}));
    QCOMPARE(read_with_python(path).value(1).value(0), QStringLiteral("森商店"));
}

// Ctrl+C on a grid puts the selected cells on the clipboard, tab-separated, as spreadsheets paste them.
void TestListTools::copy_selected_cells_data() {
    QTest::addColumn<QVector<QPoint>>("cells");  // (column, row)
    QTest::addColumn<QString>("text");
    QTest::newRow("two cells of a row")
        << QVector<QPoint>{{0, 0}, {1, 0}} << QStringLiteral("A社\t3135442.85714286");
    QTest::newRow("two cells of a column")
        << QVector<QPoint>{{1, 1}, {1, 0}} << QStringLiteral("3135442.85714286\n5");
}

void TestListTools::copy_selected_cells() {
    QFETCH(QVector<QPoint>, cells);
    QFETCH(QString, text);
    ListWindow w(QStringLiteral("grid"), {{"顧客名", "金額"}, {"A社", "3135442.85714286"}, {"B社", "5"}});
    QGuiApplication::clipboard()->clear();
    w.view->clearSelection();
    for (const QPoint& c : cells)
        w.view->selectionModel()->select(w.view->model()->index(c.y(), c.x()), QItemSelectionModel::Select);
    w.view->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QTest::keyClick(w.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
}

// Ctrl+P hands the print preview the window's grid; every printed page repeats the heading row and
// carries its number.
void TestListTools::print_repeats_heading_row() {
    QVector<QStringList> rows{{"顧客名", "金額", "備考"}};
    for (int r = 1; r <= 150; ++r)
        rows << QStringList{QStringLiteral("顧客%1").arg(r), QString::number(r * 1000), QString()};
    ListWindow w(QStringLiteral("grid"), rows);
    w.folder.session().company_settings[2] = QStringLiteral("株式会社サンプル");
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QTest::keyClick(&w.window, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(int(w.prompter.printed.size()), 1);
    const PrintJob& job = w.prompter.printed.front();
    // As the screen shows them: figures grouped and right-aligned (the empty remarks read 0 there).
    for (int r = 0; r < 150; ++r)
        QCOMPARE(job.table()->rows.at(r),
                 (QStringList{rows.at(r + 1).at(0), QStringLiteral("%1,000").arg(r + 1), "0"}));
    QCOMPARE(job.table()->right_aligned, (QVector<bool>{false, true, true}));
    const QString pdf = QDir(w.folder.path()).filePath(QStringLiteral("p.pdf"));
    QString message;
    QVERIFY2(write_pdf(job, pdf, message), qPrintable(message));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    // Qt's PDF text map gives kanji that are also radicals (一, 金) as the radical: NFKC reads them back.
    const QStringList pages = QString::fromUtf8(text.readAllStandardOutput())
                                  .normalized(QString::NormalizationForm_KC)
                                  .split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    for (int p = 0; p < pages.size(); ++p) {
        QVERIFY2(pages.at(p).contains(
                     QRegularExpression(QStringLiteral("株式会社サンプル\\s+テスト一覧\\s+2026/12/08"))),
                 qPrintable(pages.at(p)));
        QVERIFY2(pages.at(p).contains(QRegularExpression(QStringLiteral("顧客名\\s+金額\\s+備考"))),
                 qPrintable(pages.at(p)));
        QVERIFY(pages.at(p).contains(
            QRegularExpression(QStringLiteral("%1\\s*/\\s*%2").arg(p + 1).arg(pages.size()))));
    }
    QVERIFY(pages.last().contains(QStringLiteral("顧客150")));
}

// A grid wider than a portrait page is printed across the page.
void TestListTools::wide_grid_prints_landscape_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("size");  // pdfinfo's page size in points
    QTest::newRow("three columns") << 3 << QStringLiteral("595 x 842");
    QTest::newRow("twelve columns") << 12 << QStringLiteral("842 x 595");
}

void TestListTools::wide_grid_prints_landscape() {
    QFETCH(int, columns);
    QFETCH(QString, size);
    PrintTable table;
    for (int c = 0; c < columns; ++c) {
        table.headings << QStringLiteral("見出し%1").arg(c);
        table.rows << QStringList(columns, QStringLiteral("株式会社サンプル商事"));
    }
    TestFolder folder;
    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("w.pdf"));
    QString message;
    QVERIFY2(write_pdf(PrintJob(PrintHeading{QString(), QStringLiteral("一覧"), QDate(2026, 12, 8)}, table),
                       pdf, message),
             qPrintable(message));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(60000));
    QVERIFY(
        QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("Page size:       ") + size));
}

// 印刷… of the main window prints the chart drawn as lines: the PDF holds no picture.
void TestListTools::chart_prints_as_lines() {
    TestFolder folder;
    QueuedPrompter prompter;
    MainWindow main(folder.session(), prompter);
    install_export_print(ScreenContext{folder.session(), prompter, main});
    const QString id = folder.add_customer(QStringLiteral("みどり商店"), QStringLiteral("みどり"));
    folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                               "values(%1,'佐藤','2026/11/20','注文',50000,10,0)")
                    .arg(id));
    main.show();
    QVERIFY(main.show_customer(id));
    main.findChild<QAction*>(QStringLiteral("print"))->trigger();
    QCOMPARE(int(prompter.printed.size()), 1);
    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("chart.pdf"));
    QString message;
    QVERIFY2(write_pdf(prompter.printed.front(), pdf, message), qPrintable(message));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QString page =
        QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    QVERIFY2(page.contains(QRegularExpression(QStringLiteral("商品1年間履歴\\s+みどり商店"))),
             qPrintable(page));
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY(images.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(images.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')).size(), 2);
}

// With only グループA open, 書き出し and 印刷 hold the groups and A's customers: what the tree shows.
void TestListTools::tree_writes_what_is_open() {
    ListWindow w(QStringLiteral("tree"), {{"グループ"}, {"ルート"}, {"グループA"}});
    for (const QString& group : {QStringLiteral("グループB"), QStringLiteral("グループA")}) {
        auto* node = new QTreeWidgetItem(static_cast<QTreeWidget*>(w.view)->topLevelItem(0), {group});
        new QTreeWidgetItem(new QTreeWidgetItem(node, {group.right(1) + QStringLiteral("社")}), {"受注"});
        node->setExpanded(group.endsWith(u'A'));
    }
    const QString path = QDir(w.folder.path()).filePath(QStringLiteral("abc.csv"));
    w.prompter.export_files << path;
    w.action("export_list")->trigger();
    w.action("print_list")->trigger();
    const QVector<QStringList> open{
        {"ルート"}, {"　グループA"}, {"　グループB"}, {"　グループA"}, {"　　A社"}};
    QCOMPARE(read_with_python(path), QVector<QStringList>{{"グループ"}} + open);
    QCOMPARE(w.prompter.printed.front().table()->rows, open);
}

// A click and a Shift+click choose the rows between; コピー takes them all.
void TestListTools::shift_click_copies_every_row_between() {
    ListWindow w(QStringLiteral("grid"),
                 {{"顧客名", "金額", "備考"}, {"A社", "100", "a"}, {"B社", "5", "b"}, {"C社", "7", "c"}});
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    auto centre = [&](int row) { return w.view->visualRect(w.view->model()->index(row, 0)).center(); };
    QTest::mouseClick(w.view->viewport(), Qt::LeftButton, {}, centre(0));
    QTest::mouseClick(w.view->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(2));
    QTest::keyClick(w.view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("A社\t100\ta\nB社\t5\tb\nC社\t7\tc"));
}

// The save dialog of the next export opens in the folder the last one was saved in.
void TestListTools::export_opens_where_last_saved() {
    ListWindow w(QStringLiteral("list"), {{"顧客名"}, {"佐藤"}});
    w.prompter.export_files << QDir(w.folder.path()).filePath(QStringLiteral("a.csv"));
    w.action("export_list")->trigger();
    w.action("export_list")->trigger();  // cancelled
    QCOMPARE(w.prompter.export_proposals.value(1),
             QDir(w.folder.path()).filePath(QStringLiteral("テスト一覧.csv")));
}

QTEST_MAIN(TestListTools)
#include "test_list_tools.moc"
