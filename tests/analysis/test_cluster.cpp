#include <QProcess>
#include <QTemporaryFile>
#include <QtTest>
#include <cmath>
#include <random>

#include "analysis/cluster.h"
#include "cluster_oracle.h"
#include "test_folder.h"

namespace {

using Merges = std::vector<WardMerge>;
using Values = std::vector<double>;

// Rows of six variables drawn like the analysis sees them: an order total in yen and five counts.
enum class Shape { Continuous, TieHeavy, DemoLike, AllZero };

Values make_values(Shape shape, int n, unsigned seed) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto small = [&](int hi) { return double(std::uniform_int_distribution<int>(0, hi)(rng)); };
    Values v(size_t(n) * kClusterVariables, 0.0);
    for (int c = 0; c < n; ++c) {
        double* row = v.data() + size_t(c) * kClusterVariables;
        switch (shape) {
            case Shape::Continuous:
                row[0] = uniform(0, 1e6);
                for (int s = 1; s < 5; ++s)
                    row[s] = uniform(0, 10);
                break;
            case Shape::TieHeavy:
                // Most customers never did anything; the rest have a few round amounts and counts.
                if (small(9) < 6)
                    break;
                row[0] = 1000 * small(3);
                for (int s = 1; s < 5; ++s)
                    row[s] = small(2);
                break;
            case Shape::DemoLike:
                row[0] =
                    small(99) < 15 ? 0 : std::round(std::exp(std::normal_distribution<double>(12, 1.5)(rng)));
                for (int s = 1; s < 5; ++s)
                    row[s] = small(s == 2 ? 11 : 3);
                break;
            case Shape::AllZero:
                break;
        }
    }
    return v;
}

Merges fast_merges(const Values& v, int n) {
    DistanceMatrix d = compute_distances(v, n, kClusterVariables);
    return ward_merges(d);
}

// One variable per case, the rest 0: small hand-made cases.
Values line(const QVector<double>& points) {
    Values v(size_t(points.size()) * kClusterVariables, 0.0);
    for (int c = 0; c < points.size(); ++c)
        v[size_t(c) * kClusterVariables] = points.at(c);
    return v;
}

QString describe(const Merges& m, size_t at) {
    return at < m.size() ? QStringLiteral("(%1,%2,%3)")
                               .arg(m[at].survivor)
                               .arg(m[at].absorbed)
                               .arg(m[at].distance, 0, 'g', 17)
                         : QStringLiteral("none");
}

// Cases grouped alike, whatever the numbers of the groups.
std::vector<int> canonical(const std::vector<int>& labels) {
    std::vector<int> seen, out;
    for (int l : labels) {
        auto it = std::find(seen.begin(), seen.end(), l);
        if (it == seen.end())
            it = seen.insert(seen.end(), l);
        out.push_back(int(it - seen.begin()));
    }
    return out;
}

void add_customers(TestFolder& folder, const QVector<qint64>& amounts) {
    Transaction t(folder.db());
    for (int i = 0; i < amounts.size(); ++i) {
        const QString id = folder.add_customer(QStringLiteral("顧客%1").arg(i), QStringLiteral("こきゃく"));
        if (amounts.at(i) > 0)
            folder.exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                       "values(%1,'佐藤','2026/01/10','注文',%2,10,0)")
                            .arg(id)
                            .arg(amounts.at(i)));
    }
    t.commit();
}

}  // namespace

class TestCluster : public QObject {
    Q_OBJECT

private slots:
    void fast_loop_equals_the_scan_data();
    void fast_loop_equals_the_scan();
    void hand_computed_merges_data();
    void hand_computed_merges();
    void groups_from_the_database_data();
    void groups_from_the_database();
    void case_count_bounds_data();
    void case_count_bounds();
    void rows_of_deleted_customers_are_skipped();
    void group_captions_data();
    void group_captions();
    void partition_agrees_with_scipy();
};

void TestCluster::fast_loop_equals_the_scan_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("n");
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("random") << int(Shape::Continuous) << 300 << 1u;
    QTest::newRow("ties: zeros and small counts") << int(Shape::TieHeavy) << 500 << 2u;
    QTest::newRow("ties: another draw") << int(Shape::TieHeavy) << 120 << 3u;
    QTest::newRow("everyone identical") << int(Shape::AllZero) << 60 << 4u;
    QTest::newRow("demo-like, 2000 customers") << int(Shape::DemoLike) << 2000 << 5u;
    QTest::newRow("tie-heavy, 2000 customers") << int(Shape::TieHeavy) << 2000 << 6u;
}

void TestCluster::fast_loop_equals_the_scan() {
    QFETCH(int, shape);
    QFETCH(int, n);
    QFETCH(unsigned, seed);
    const Values v = make_values(Shape(shape), n, seed);
    const Merges expected = scan_ward_merges(v, n, kClusterVariables);
    const Merges actual = fast_merges(v, n);
    QCOMPARE(actual.size(), size_t(n - 1));
    for (size_t s = 0; s < expected.size(); ++s)
        QVERIFY2(actual[s] == expected[s], qPrintable(QStringLiteral("step %1: %2, the scan %3")
                                                          .arg(s + 1)
                                                          .arg(describe(actual, s), describe(expected, s))));
}

void TestCluster::hand_computed_merges_data() {
    QTest::addColumn<QVector<double>>("points");
    QTest::addColumn<QVector<int>>("pairs");  // survivor, absorbed per step
    QTest::addColumn<QVector<double>>("distances");
    // Two singles then a third: (2·d(p,k) + 2·d(q,k) − d(p,q)) / 3 = (2·25 + 2·16 − 1) / 3.
    QTest::newRow("three cases") << QVector<double>{0, 1, 5} << QVector<int>{0, 1, 0, 2}
                                 << QVector<double>{1, 27};
    // Two pairs: Ward between {0,1} and {10,11} is 2·2/(2+2)·10² = 200.
    QTest::newRow("two pairs") << QVector<double>{0, 1, 10, 11} << QVector<int>{0, 1, 2, 3, 0, 2}
                               << QVector<double>{1, 1, 200};
    // Equal distances: the smallest i wins, then the smallest j.
    QTest::newRow("ties by position")
        << QVector<double>{7, 7, 7, 7} << QVector<int>{0, 1, 0, 2, 0, 3} << QVector<double>{0, 0, 0};
    QTest::newRow("crossed twins") << QVector<double>{0, 10, 0, 10} << QVector<int>{0, 2, 1, 3, 0, 1}
                                   << QVector<double>{0, 0, 200};
    // The closest pair lies last: {50,51}, then 100 joins it (2·1·2/3·49.5²), then 0 (2·1·3/4·67²).
    QTest::newRow("closest pair last") << QVector<double>{0, 100, 50, 51} << QVector<int>{2, 3, 1, 2, 0, 1}
                                       << QVector<double>{1, 3267, 6733.5};
}

void TestCluster::hand_computed_merges() {
    QFETCH(QVector<double>, points);
    QFETCH(QVector<int>, pairs);
    QFETCH(QVector<double>, distances);
    const Merges merges = fast_merges(line(points), points.size());
    QCOMPARE(int(merges.size()), points.size() - 1);
    for (size_t s = 0; s < merges.size(); ++s) {
        QCOMPARE(merges[s].survivor, pairs.at(int(2 * s)));
        QCOMPARE(merges[s].absorbed, pairs.at(int(2 * s + 1)));
        QVERIFY2(std::fabs(merges[s].distance - distances.at(int(s))) <= 1e-9 * (1 + distances.at(int(s))),
                 qPrintable(describe(merges, s)));
    }
}

void TestCluster::groups_from_the_database_data() {
    QTest::addColumn<QVector<qint64>>("amounts");
    QTest::addColumn<QVector<int>>("groups");
    QTest::addColumn<QVector<int>>("counts");
    QTest::newRow("3 customers: no merge, fourth group empty")
        << QVector<qint64>{5, 900, 40} << QVector<int>{0, 1, 2} << QVector<int>{1, 1, 1, 0};
    QTest::newRow("4 customers: one each")
        << QVector<qint64>{0, 0, 7, 7} << QVector<int>{0, 1, 2, 3} << QVector<int>{1, 1, 1, 1};
    // Identical histories merge first, lowest positions first; groups numbered by first appearance.
    QTest::newRow("twins merge first") << QVector<qint64>{1000000, 0, 0, 1000000, 3000, 500000}
                                       << QVector<int>{0, 1, 1, 0, 2, 3} << QVector<int>{2, 2, 1, 1};
    QTest::newRow("amounts above 2^31") << QVector<qint64>{3000000000LL, 0, 5000, 2999999990LL, 2000000000LL}
                                        << QVector<int>{0, 1, 2, 0, 3} << QVector<int>{2, 1, 1, 1};
}

void TestCluster::groups_from_the_database() {
    QFETCH(QVector<qint64>, amounts);
    QFETCH(QVector<int>, groups);
    QFETCH(QVector<int>, counts);
    TestFolder folder;
    add_customers(folder, amounts);
    const ClusterResult result = run_clustering(folder.db());
    QVERIFY(result.ok());
    QCOMPARE(result.cases.names.first(), QStringLiteral("顧客0"));
    QCOMPARE(QVector<int>(result.groups.group.begin(), result.groups.group.end()), groups);
    QCOMPARE(QVector<int>(result.groups.counts.begin(), result.groups.counts.end()), counts);
}

void TestCluster::case_count_bounds_data() {
    QTest::addColumn<int>("customers");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("none") << 0 << kTooFewCasesMessage;
    QTest::newRow("2") << 2 << kTooFewCasesMessage;
    QTest::newRow("3") << 3 << QString();
    QTest::newRow("2000") << 2000 << QString();
    QTest::newRow("2001") << 2001 << kTooManyCasesMessage;
}

void TestCluster::case_count_bounds() {
    QFETCH(int, customers);
    QFETCH(QString, refusal);
    TestFolder folder;
    add_customers(folder, QVector<qint64>(customers, 0));
    const ClusterResult result = run_clustering(folder.db());
    QCOMPARE(result.refusal, refusal);
    QCOMPARE(result.cases.size(), refusal.isEmpty() ? customers : 0);
    QCOMPARE(int(result.merges.size()), refusal.isEmpty() ? customers - 1 : 0);
}

void TestCluster::rows_of_deleted_customers_are_skipped() {
    TestFolder folder;
    add_customers(folder, {100, 0, 0});
    const QString first = folder.value(QStringLiteral("select min(顧客ID) from 顧客"));
    const QString second = folder.value(QStringLiteral("select min(顧客ID)+1 from 顧客"));
    // A deleted customer (id 999) with an order and visits, and an order without an amount.
    folder.exec(QStringLiteral(
        "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(999,'佐藤','2026/01/10','x',5000)"));
    folder.exec(
        QStringLiteral(
            "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(%1,'佐藤','2026/01/10','x',NULL)")
            .arg(second));
    for (int i = 0; i < 3; ++i)
        folder.exec(QStringLiteral(
            "insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(999,'佐藤','2026/01/10','x','')"));
    folder.exec(QStringLiteral(
                    "insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,'佐藤','2026/01/10','x','')")
                    .arg(first));
    const ClusterCases cases = load_case_data(folder.db());
    QCOMPARE(cases.size(), 3);
    QCOMPARE(cases.value(0, 0), 100.0);  // not the deleted customer's 5000
    QCOMPARE(cases.value(0, 2), 1.0);    // not its 3 visits
    QCOMPARE(cases.value(1, 0), 0.0);    // the empty sum counts as 0
    for (int c = 0; c < 3; ++c)
        QCOMPARE(cases.value(c, 5), 0.0);
}

void TestCluster::group_captions_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << 0 << 25 << QStringLiteral("グループ1(25 件)");
    QTest::newRow("empty fourth") << 3 << 0 << QStringLiteral("グループ4( 件)");
}

void TestCluster::group_captions() {
    QFETCH(int, group);
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(cluster_group_text(group, count), text);
}

void TestCluster::partition_agrees_with_scipy() {
    // The system's interpreter carries the Debian package; a python3 earlier on PATH may not.
    QString interpreter;
    for (const QString& candidate : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")}) {
        QProcess probe;
        probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import scipy.cluster.hierarchy")});
        if (probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0) {
            interpreter = candidate;
            break;
        }
    }
    if (interpreter.isEmpty())
        QSKIP("python3-scipy is not installed: the cross-check against SciPy's Ward linkage was not run");

    for (unsigned seed : {11u, 12u, 13u}) {
        const int n = 150;
        const Values v = make_values(Shape::Continuous, n, seed);
        QTemporaryFile file;
        QVERIFY(file.open());
        for (int c = 0; c < n; ++c) {
            QStringList row;
            for (int s = 0; s < kClusterVariables; ++s)
                row << QString::number(v[size_t(c) * kClusterVariables + s], 'g', 17);
            file.write(row.join(' ').toUtf8() + '\n');
        }
        file.flush();
        QProcess python;
        python.start(
            interpreter,
            {QStringLiteral("-c"),
             QStringLiteral("import sys, numpy as np\n"
                            "from scipy.cluster.hierarchy import linkage, fcluster\n"
                            "X = np.loadtxt(sys.argv[1], ndmin=2)\n"
                            "print(' '.join(str(l) for l in fcluster(linkage(X, 'ward'), 4, 'maxclust')))\n"),
             file.fileName()});
        QVERIFY(python.waitForFinished(60000));
        QCOMPARE(python.exitCode(), 0);
        std::vector<int> theirs;
        for (const QString& l :
             QString::fromUtf8(python.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts))
            theirs.push_back(l.toInt());
        QCOMPARE(int(theirs.size()), n);
        const std::vector<int> ours = cut_labels(n, fast_merges(v, n));
        QCOMPARE(canonical(ours), canonical(theirs));
        QCOMPARE(number_groups(ours).counts[3] > 0, true);
    }
}

QTEST_GUILESS_MAIN(TestCluster)
#include "test_cluster.moc"
