// The duplicate check of one customer save and of an import's check, over 100,000 customers.
// Run: build/bench/bench_duplicates [--customers N] [--mysql DSN]
//   --mysql: the same checks against a MySQL/MariaDB data source (its database filled once).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "bench_support.h"
#include "customers/customer_store.h"
#include "customers/duplicates.h"

namespace {

Database* g_db = nullptr;

// New customers as a user types them: some share a name, a phone number or a mail address with a
// stored customer (written differently), most share nothing.
QVector<QStringList> typed_customers(Database& db) {
    QVector<QStringList> out;
    const ResultTable stored =
        db.query_rows(QStringLiteral("select 顧客名,TEL,Email from 顧客 where 顧客ID in (17,4242,31337)"), 3);
    for (int i = 0; i < 30; ++i) {
        QStringList fields(kCustomerFieldCount);
        fields[0] = QStringLiteral("ﾃｽﾄ新商事%1").arg(i);
        fields[1] = QStringLiteral("てすとしんしょうじ");
        fields[6] = QStringLiteral("03-9%1-0000").arg(i, 3, 10, QLatin1Char('0'));
        fields[9] = QStringLiteral("new%1@example.jp").arg(i);
        const int r = 1 + i % 3;
        if (i % 10 == 1 && r <= stored.row_count())
            fields[0] = stored(0, r) + QStringLiteral("　");  // the same name with a blank
        if (i % 10 == 2 && r <= stored.row_count())
            fields[8] = QStringLiteral("（%1）").arg(stored(1, r));  // the same phone, in brackets
        if (i % 10 == 3 && r <= stored.row_count() && stored(2, r) != QLatin1String("-"))
            fields[9] = stored(2, r).toUpper();
        out << fields;
    }
    return out;
}

void BM_SaveCheck(benchmark::State& state) {
    const QVector<QStringList> customers = typed_customers(*g_db);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(find_duplicate_customer(*g_db, customers.at(int(i++ % customers.size()))));
}
BENCHMARK(BM_SaveCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(60);

QVector<QStringList> import_records(int n) {
    QVector<QStringList> records;
    for (int i = 0; i < n; ++i)
        records << QStringList{QStringLiteral("ﾃｽﾄ商事%1").arg(i),
                               "てすと",
                               "",
                               "",
                               "",
                               "",
                               QStringLiteral("06-%1").arg(100000 + i),
                               "",
                               "",
                               QStringLiteral("t%1@example.jp").arg(i),
                               "",
                               "",
                               ""};
    return records;
}

void BM_ImportCheck1000(benchmark::State& state) {
    const QVector<QStringList> records = import_records(1000);
    for (auto _ : state)
        benchmark::DoNotOptimize(find_import_duplicates(*g_db, records));
}
BENCHMARK(BM_ImportCheck1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ImportCheck100000(benchmark::State& state) {
    const QVector<QStringList> records = import_records(100000);
    for (auto _ : state)
        benchmark::DoNotOptimize(find_import_duplicates(*g_db, records));
}
BENCHMARK(BM_ImportCheck100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_FoldName(benchmark::State& state) {
    const QString name = QStringLiteral("ｶﾌﾞｼｷｶﾞｲｼｬ　ヤマダ商事ＡＢＣ");
    for (auto _ : state)
        benchmark::DoNotOptimize(fold_for_match(name));
}
BENCHMARK(BM_FoldName);

// The median and 90th percentile of single checks, each timed on its own.
void print_percentiles() {
    const QVector<QStringList> customers = typed_customers(*g_db);
    std::vector<double> wall;
    int found = 0;
    for (int round = 0; round < 5; ++round) {
        for (const QStringList& fields : customers) {
            QElapsedTimer t;
            t.start();
            found += find_duplicate_customer(*g_db, fields).has_value();
            wall.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::sort(wall.begin(), wall.end());
    std::printf("duplicate check of one save over %s customers (%s), %d checks of which %d found one:\n",
                qPrintable(g_db->query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1)),
                g_db->dialect() == Dialect::MySql ? "MySQL/MariaDB" : "embedded file", int(wall.size()),
                found);
    std::printf("  wall median %6.2f, 90th percentile %6.2f, max %6.2f ms\n", wall[wall.size() / 2],
                wall[wall.size() * 9 / 10], wall.back());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchData data{100000};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QTemporaryDir dir;
    DemoOptions options;
    options.customers = data.customers;
    options.activities = false;
    make_bench_folder(dir.path(), data, options);
    Database db;
    if (data.mysql_dsn.isEmpty())
        db.open_sqlite_file(QDir(dir.path()).filePath(QStringLiteral("sales.mdb")), false);
    else
        db.open(QStringLiteral("Mysql"), data.mysql_dsn, dir.path());
    g_db = &db;
    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    print_percentiles();
    benchmark::Shutdown();
    return 0;
}
