#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "test_folder.h"
#include "ui/app/program.h"
#include "ui/common/prompter.h"

namespace {
// A dialog that wanders off to another folder before it answers, as the platform dialog may.
class WanderingPrompter : public QueuedPrompter {
public:
    QString wander_to;
    bool choose_file(QWidget* parent, const QString& title, const QString& filter, bool save, QString& chosen,
                     QString* typed) override {
        QDir::setCurrent(wander_to);
        return QueuedPrompter::choose_file(parent, title, filter, save, chosen, typed);
    }
};
}  // namespace

class TestPrompter : public QObject {
    Q_OBJECT
private slots:
    void filter_conversion_data();
    void filter_conversion();
    void choose_file_restores_working_folder_data();
    void choose_file_restores_working_folder();
    void center_form_centres();
    void standard_buttons_are_japanese();
};

void TestPrompter::filter_conversion_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("database") << "データベース(*.MDB)|*.MDB"
                              << "データベース(*.MDB) (*.MDB *.mdb)";
    QTest::newRow("two pairs") << "CSV|*.csv|すべて|*.*"
                               << "CSV (*.csv);;すべて (*.*)";
    QTest::newRow("several patterns") << "テキスト|*.txt;*.csv"
                                      << "テキスト (*.txt *.csv)";
    QTest::newRow("no bar") << "*.csv"
                            << "*.csv";
}

void TestPrompter::filter_conversion() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(convert_file_filter(filter), expected);
}

void TestPrompter::choose_file_restores_working_folder_data() {
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("lowered");
    QTest::addColumn<QString>("typed");
    QTest::newRow("cancelled") << QStringList() << false << ""
                               << "";
    QTest::newRow("chosen") << QStringList{" /Tmp/Backup/Sales.MDB "} << true << "/tmp/backup/sales.mdb"
                            << " /Tmp/Backup/Sales.MDB ";
}

void TestPrompter::choose_file_restores_working_folder() {
    QFETCH(QStringList, queued);
    QFETCH(bool, chosen);
    QFETCH(QString, lowered);
    QFETCH(QString, typed);
    QTemporaryDir program, elsewhere;
    const QString before = QDir::currentPath();
    QDir::setCurrent(program.path());
    WanderingPrompter prompter;
    prompter.wander_to = elsewhere.path();
    prompter.files = queued;
    QString name, as_typed;
    QCOMPARE(
        choose_file(prompter, nullptr, "バックアップ", "データベース(*.MDB)|*.MDB", true, name, &as_typed),
        chosen);
    QCOMPARE(QDir::currentPath(), QDir(program.path()).canonicalPath());
    QCOMPARE(name, lowered);
    QCOMPARE(as_typed, typed);
    QDir::setCurrent(before);
}

void TestPrompter::center_form_centres() {
    QWidget w;
    w.resize(300, 200);
    center_form(&w);
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= 2);
}

void TestPrompter::standard_buttons_are_japanese() {
    QVERIFY2(install_japanese_translation(*qApp), "qtbase_ja.qm (package qt6-translations-l10n) is missing");
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Yes | QDialogButtonBox::No |
                         QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Yes)->text().remove(QStringLiteral("(&Y)")),
             QStringLiteral("はい"));
    QCOMPARE(box.button(QDialogButtonBox::No)->text().remove(QStringLiteral("(&N)")),
             QStringLiteral("いいえ"));
    QVERIFY(box.button(QDialogButtonBox::Cancel)->text().startsWith(QStringLiteral("キャンセル")));
}

QTEST_MAIN(TestPrompter)
#include "test_prompter.moc"
