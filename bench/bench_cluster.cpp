// Ward clustering: the whole run_clustering over 2000 customers (database reads included) on demo data
// and on data full of ties, the full pair scan on the same matrices, the merge loop alone at 2000, 5000
// and 10,000 customers, and SciPy's linkage(X, 'ward') on the same matrices (bench/scipy_ward.py).
// Run: build-rel/bench/bench_cluster
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

#include "../tests/analysis/cluster_oracle.h"
#include "analysis/cluster.h"
#include "app/demo_data.h"
#include "db/schema.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    Database demo;       // 2000 demo customers with their history
    Database ties;       // 2000 customers, most without any history, the rest with small round values
    ClusterCases large;  // 10,000 demo customers, for the merge loop alone
    ClusterCases demo_cases;
    ClusterCases tie_cases;
};
Fixture* g = nullptr;

void open_new(Database& db, const QString& path, int customers, bool activities) {
    db.open_sqlite_file(path, true);
    create_schema(db);
    DemoOptions options;
    options.customers = customers;
    options.activities = activities;
    options.as_of = QDate(2026, 12, 8);
    generate_demo_data(db, options);
}

// Six customers in ten have nothing; the others an order total of 0 to 3000 yen in steps of 1000
// and at most two estimates, visits, claims and inquiries each.
void add_tie_history(Database& db) {
    std::mt19937 rng(42);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const ResultTable ids = db.query_rows(QStringLiteral("select 顧客ID from 顧客"), 1);
    Transaction t(db);
    for (int r = 1; r <= ids.row_count(); ++r) {
        if (pick(10) < 6)
            continue;
        const QString id = ids(0, r);
        db.execute_sql(
            QStringLiteral(
                "insert into 受注 (顧客ID,社員,受注日,名称,受注金額) values(%1,'佐藤','2026/01/10','x',%2)")
                .arg(id)
                .arg(1000 * pick(4)));
        const char* tables[][2] = {
            {"見積もり", "提出日"}, {"訪問", "訪問日"}, {"クレーム", "受付日"}, {"問い合わせ", "受付日"}};
        for (const auto& table : tables)
            for (int k = pick(3); k > 0; --k)
                db.execute_sql(
                    QStringLiteral("insert into %1 (顧客ID,社員,%2,名称) values(%3,'佐藤','2026/01/10','x')")
                        .arg(QString::fromUtf8(table[0]), QString::fromUtf8(table[1]), id));
    }
    t.commit();
}

ClusterCases first_cases(const ClusterCases& all, int n) {
    ClusterCases c;
    c.ids = all.ids.mid(0, n);
    c.names = all.names.mid(0, n);
    c.values.assign(all.values.begin(), all.values.begin() + ptrdiff_t(n) * kClusterVariables);
    return c;
}

const ClusterCases& cases_for(int which, int n, ClusterCases& scratch) {
    if (which == 1)
        return g->tie_cases;
    if (n == 2000)
        return g->demo_cases;
    scratch = first_cases(g->large, n);
    return scratch;
}

double seconds_of(const std::function<void()>& run) {
    QElapsedTimer t;
    t.start();
    run();
    return double(t.nsecsElapsed()) / 1e9;
}

double median_of(int rounds, const std::function<void()>& run) {
    std::vector<double> s;
    for (int i = 0; i < rounds; ++i)
        s.push_back(seconds_of(run));
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
}

// The merge loop alone: the matrix is copied outside the timing, since the loop overwrites it.
double merge_loop_seconds(const ClusterCases& cases) {
    const DistanceMatrix distances = compute_distances(cases);
    DistanceMatrix work = distances;
    return seconds_of([&] { benchmark::DoNotOptimize(ward_merges(work)); });
}

void BM_RunClustering(benchmark::State& state) {
    Database& db = state.range(0) == 0 ? g->demo : g->ties;
    for (auto _ : state) {
        const ClusterResult r = run_clustering(db);
        if (!r.ok())
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(r.groups.counts);
    }
}
BENCHMARK(BM_RunClustering)->Arg(0)->Arg(1)->ArgName("ties")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MergeLoop(benchmark::State& state) {
    ClusterCases scratch;
    const ClusterCases& cases = cases_for(int(state.range(0)), int(state.range(1)), scratch);
    const DistanceMatrix distances = compute_distances(cases);
    for (auto _ : state) {
        DistanceMatrix work = distances;
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(ward_merges(work));
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_MergeLoop)
    ->Args({0, 2000})
    ->Args({1, 2000})
    ->Args({0, 5000})
    ->Args({0, 10000})
    ->ArgNames({"ties", "n"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void BM_FullPairScan(benchmark::State& state) {
    const ClusterCases& cases = state.range(0) == 0 ? g->demo_cases : g->tie_cases;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            scan_ward_merges(cases.values, cases.size(), kClusterVariables, state.range(1) != 0));
}
BENCHMARK(BM_FullPairScan)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->ArgNames({"ties", "by_columns"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

QString write_matrix(const ClusterCases& cases, const QString& name) {
    const QString path = QDir(g->dir.path()).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    for (int c = 0; c < cases.size(); ++c) {
        QStringList row;
        for (int s = 0; s < kClusterVariables; ++s)
            row << QString::number(cases.value(c, s), 'g', 17);
        f.write(row.join(' ').toUtf8() + '\n');
    }
    return path;
}

void print_summary() {
    std::printf("\nSummary (medians):\n");
    const double run_demo = median_of(9, [] { run_clustering(g->demo); });
    const double run_ties = median_of(9, [] { run_clustering(g->ties); });
    const double scan_demo =
        median_of(3, [] { scan_ward_merges(g->demo_cases.values, g->demo_cases.size(), kClusterVariables); });
    const double scan_ties =
        median_of(3, [] { scan_ward_merges(g->tie_cases.values, g->tie_cases.size(), kClusterVariables); });
    const double scan_columns = median_of(
        3, [] { scan_ward_merges(g->demo_cases.values, g->demo_cases.size(), kClusterVariables, true); });
    auto fast = [](const ClusterCases& c) {
        DistanceMatrix d = compute_distances(c);
        return ward_merges(d);
    };
    const bool same_demo = scan_ward_merges(g->demo_cases.values, g->demo_cases.size(), kClusterVariables) ==
                           fast(g->demo_cases);
    const bool same_ties =
        scan_ward_merges(g->tie_cases.values, g->tie_cases.size(), kClusterVariables) == fast(g->tie_cases);
    std::printf(
        "run_clustering, 2000 demo customers (database reads included): %.1f ms; full pair scan %.0f ms "
        "(%.0f times); the scan reading down the columns as defined %.0f ms (%.0f times); merge lists "
        "identical: %s\n",
        run_demo * 1e3, scan_demo * 1e3, scan_demo / run_demo, scan_columns * 1e3, scan_columns / run_demo,
        same_demo ? "yes" : "NO");
    std::printf(
        "run_clustering, 2000 customers full of ties: %.1f ms; full pair scan %.0f ms (%.0f times); merge "
        "lists identical: %s\n",
        run_ties * 1e3, scan_ties * 1e3, scan_ties / run_ties, same_ties ? "yes" : "NO");

    struct Row {
        const char* label;
        ClusterCases cases;
        double loop = 0;
        double with_distances = 0;
    };
    std::vector<Row> rows = {{"demo 2000", g->demo_cases},
                             {"ties 2000", g->tie_cases},
                             {"demo 5000", first_cases(g->large, 5000)},
                             {"demo 10000", first_cases(g->large, 10000)}};
    for (Row& r : rows) {
        const int rounds = r.cases.size() > 5000 ? 3 : 5;
        std::vector<double> loops, whole;
        for (int i = 0; i < rounds; ++i) {
            loops.push_back(merge_loop_seconds(r.cases));
            whole.push_back(seconds_of([&] {
                DistanceMatrix d = compute_distances(r.cases);
                benchmark::DoNotOptimize(ward_merges(d));
            }));
        }
        std::sort(loops.begin(), loops.end());
        std::sort(whole.begin(), whole.end());
        r.loop = loops[loops.size() / 2];
        r.with_distances = whole[whole.size() / 2];
    }

    // SciPy on the same matrices, through the system's interpreter (python3-scipy).
    QStringList files;
    for (size_t i = 0; i < rows.size(); ++i)
        files << write_matrix(rows[i].cases, QStringLiteral("matrix%1.txt").arg(i));
    // __FILE__ may be relative to the build folder (ccache with a base folder), which is the parent
    // of the folder holding this program.
    QString source = QString::fromUtf8(__FILE__);
    if (QFileInfo(source).isRelative())
        source = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).filePath(source);
    const QString script = QFileInfo(source).dir().filePath(QStringLiteral("scipy_ward.py"));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + files);
    const bool ran = python.waitForFinished(600000) && python.exitCode() == 0;
    const QStringList lines =
        QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    if (!ran)
        std::printf("SciPy was not timed: %s\n", python.readAllStandardError().constData());
    std::printf("%-11s %12s %18s %14s %20s %10s %10s\n", "data", "merge loop", "distances+loop",
                "SciPy merges", "SciPy linkage(X)", "ratio", "ratio(X)");
    for (size_t i = 0; i < rows.size(); ++i) {
        const QStringList f = ran && int(i) < lines.size() ? lines.at(int(i)).split('\t') : QStringList();
        const double scipy_whole = f.value(2).toDouble(), scipy_merges = f.value(3).toDouble();
        std::printf("%-11s %9.1f ms %15.1f ms %11.1f ms %17.1f ms %9.2fx %9.2fx\n", rows[i].label,
                    rows[i].loop * 1e3, rows[i].with_distances * 1e3, scipy_merges * 1e3, scipy_whole * 1e3,
                    rows[i].loop > 0 ? scipy_merges / rows[i].loop : 0.0,
                    rows[i].with_distances > 0 ? scipy_whole / rows[i].with_distances : 0.0);
    }
    std::printf(
        "ratio = SciPy's time / ours (above 1: ours is faster); merges = linkage on distances computed "
        "beforehand; (X) = linkage(X, 'ward') against our distances + merge loop.\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Fixture fixture;
    g = &fixture;
    QElapsedTimer setup;
    setup.start();
    open_new(fixture.demo, QDir(fixture.dir.path()).filePath(QStringLiteral("demo.mdb")), 2000, true);
    open_new(fixture.ties, QDir(fixture.dir.path()).filePath(QStringLiteral("ties.mdb")), 2000, false);
    add_tie_history(fixture.ties);
    {
        Database large;
        open_new(large, QDir(fixture.dir.path()).filePath(QStringLiteral("large.mdb")), 10000, true);
        fixture.large = load_case_data(large);
    }
    fixture.demo_cases = load_case_data(fixture.demo);
    fixture.tie_cases = load_case_data(fixture.ties);
    int zero = 0;
    for (int c = 0; c < fixture.tie_cases.size(); ++c)
        zero += fixture.tie_cases.value(c, 0) == 0 && fixture.tie_cases.value(c, 2) == 0;
    std::printf("data ready in %.1f s; tie data: %d of %d customers without orders or visits\n",
                double(setup.elapsed()) / 1e3, zero, fixture.tie_cases.size());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    print_summary();
    benchmark::Shutdown();
    return 0;
}
