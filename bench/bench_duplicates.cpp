// The duplicate check of one customer save and of an import's check, over 100,000 customers.
// Run: build/bench/bench_duplicates [--customers N]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "bench_support.h"
#include "customers/duplicates.h"

namespace {

Database* g_db = nullptr;

// A new customer that shares nothing with the stored ones: every stored row is compared.
const QStringList kNewCustomer{"ヤマダ新商事", "やまだしんしょうじ", "東京都", "100", "0001",
                               "千代田区",     "03-9999-0000",       "",       "",    "new@example.jp"};

void BM_SaveCheck(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(find_duplicate_customer(*g_db, kNewCustomer));
}
BENCHMARK(BM_SaveCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The part of the save check that reads the stored customers.
void BM_ReadCustomers(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            g_db->query_rows(QStringLiteral("select 顧客ID,顧客名,TEL,FAX,携帯,Email from 顧客"), 6));
}
BENCHMARK(BM_ReadCustomers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_ImportCheck1000(benchmark::State& state) {
    QVector<QStringList> records;
    for (int i = 0; i < 1000; ++i)
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
    for (auto _ : state)
        benchmark::DoNotOptimize(find_import_duplicates(*g_db, records));
}
BENCHMARK(BM_ImportCheck1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_FoldName(benchmark::State& state) {
    const QString name = QStringLiteral("ｶﾌﾞｼｷｶﾞｲｼｬ　ヤマダ商事ＡＢＣ");
    for (auto _ : state)
        benchmark::DoNotOptimize(fold_for_match(name));
}
BENCHMARK(BM_FoldName);

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
    make_demo_folder(dir.path(), options);
    Database db;
    db.open_sqlite_file(QDir(dir.path()).filePath(QStringLiteral("sales.mdb")), false);
    g_db = &db;
    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
