// ABC analyses of customers and of goods over demo data of 10,000 customers and about 200,000 orders,
// each whole (statements and classing), as the screens and sales-cli run them.
// Run: build-rel/bench/bench_abc [--customers N]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>

#include "analysis/abc.h"
#include "app/demo_data.h"
#include "bench_support.h"
#include "db/database.h"
#include "db/schema.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    QTemporaryDir dir;
    Database db;
};
Fixture* g = nullptr;

void BM_AbcCustomers(benchmark::State& state) {
    for (auto _ : state) {
        const AbcCustomers r = abc_customers(g->db, kToday);
        benchmark::DoNotOptimize(r.counts);
    }
}
BENCHMARK(BM_AbcCustomers)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AbcGoods(benchmark::State& state) {
    for (auto _ : state) {
        const AbcGoods r = abc_goods(g->db, kToday);
        benchmark::DoNotOptimize(r.counts);
    }
}
BENCHMARK(BM_AbcGoods)->Unit(benchmark::kMillisecond)->UseRealTime();

double median_ms(const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    BenchData data{10000, 4.0};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QCoreApplication app(argc, argv);
    Fixture fixture;
    g = &fixture;
    QElapsedTimer setup;
    setup.start();
    DemoOptions options;
    options.customers = data.customers;
    options.order_factor = data.order_factor;
    options.as_of = kToday;
    make_demo_folder(fixture.dir.path(), options);
    fixture.db.open_sqlite_file(QDir(fixture.dir.path()).filePath(QStringLiteral("sales.mdb")), false);
    const QString orders = fixture.db.query_rows(QStringLiteral("select count(*) from 受注"), 1)(0, 1);
    const QString lines = fixture.db.query_rows(QStringLiteral("select count(*) from 受注明細"), 1)(0, 1);
    std::printf("demo data: %d customers, %s orders, %s order lines (%.0f s to make)\n", data.customers,
                qPrintable(orders), qPrintable(lines), double(setup.elapsed()) / 1e3);

    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();

    const AbcCustomers c = abc_customers(fixture.db, kToday);
    const AbcGoods gd = abc_goods(fixture.db, kToday);
    std::printf("\nABC of customers: median %.0f ms; classes A %d, B %d, C %d, D %d; period total %lld yen\n",
                median_ms([] { abc_customers(g->db, kToday); }), c.counts[0], c.counts[1], c.counts[2],
                c.counts[3], static_cast<long long>(c.period_total));
    std::printf("ABC of goods: median %.0f ms; A %d, B %d, several %d, once %d, none %d goods\n",
                median_ms([] { abc_goods(g->db, kToday); }), gd.counts[0], gd.counts[1], gd.counts[2],
                gd.counts[3], gd.counts[4]);
    benchmark::Shutdown();
    return 0;
}
