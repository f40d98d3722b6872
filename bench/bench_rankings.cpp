// The ranking analyses over 10,000 customers and about 200,000 orders: each computation, and each
// screen's load as the user waits for it (computation and grid). Target: under 1 s each.
// Run: build-rel/bench/bench_rankings [--customers N] [--order-factor F]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "analysis/after_sales.h"
#include "analysis/order_visits.h"
#include "analysis/ranking.h"
#include "analysis/rfm.h"
#include "app/demo_data.h"
#include "app/session.h"
#include "app/startup.h"
#include "bench_support.h"
#include "db/schema.h"
#include "silent_prompter.h"
#include "ui/analysis/after_sales_screen.h"
#include "ui/analysis/order2visit_screen.h"
#include "ui/analysis/order_rank_screen.h"
#include "ui/analysis/rfm_screen.h"
#include "ui/common/prompter.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    Session session;
    SilentPrompter prompter;
    QString goods_id;
};
Fixture* g = nullptr;

Database& db() {
    return *g->session.db;
}
QDate today() {
    return g->session.clock.today();
}

void BM_Rfm(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = compute_rfm(db(), load_rfm_classes(db()), today()).rows.size();
    state.counters["rows"] = double(rows);
}
void BM_OrderRanking(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = order_ranking(db(), today()).rows.size();
    state.counters["rows"] = double(rows);
}
void BM_GoodsRanking(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = goods_ranking(db(), today()).rows.size();
    state.counters["rows"] = double(rows);
}
void BM_OrderVisits(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = order_visits(db()).rows.size();
    state.counters["rows"] = double(rows);
}
void BM_AfterSalesOrders120(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = customers_without_recent_orders(db(), today(), 120).size();
    state.counters["rows"] = double(rows);
}
void BM_AfterSalesVisits120(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = customers_without_recent_visits(db(), today(), 120).size();
    state.counters["rows"] = double(rows);
}
void BM_AfterSalesGoods(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state)
        rows = customers_of_goods(db(), g->goods_id).size();
    state.counters["rows"] = double(rows);
}

// A screen made, loaded (computation and grid) and discarded, as at its first opening.
template <class Screen, class... Extra>
void screen_load(benchmark::State& state, Extra... extra) {
    for (auto _ : state) {
        auto screen = std::make_unique<Screen>(g->session, g->prompter, extra...);
        screen->load();
        QCoreApplication::processEvents();
    }
}
void BM_RfmScreenLoad(benchmark::State& state) {
    screen_load<RfmScreen>(state);
}
void BM_OrderRankScreenLoad(benchmark::State& state) {
    screen_load<SalesRankScreen>(state, SalesRankScreen::Kind::Customers, nullptr);
}
void BM_GoodsRankScreenLoad(benchmark::State& state) {
    screen_load<SalesRankScreen>(state, SalesRankScreen::Kind::Goods, nullptr);
}
void BM_Order2VisitScreenLoad(benchmark::State& state) {
    screen_load<Order2VisitScreen>(state);
}
void BM_AfterSalesScreenLoad(benchmark::State& state) {
    screen_load<AfterSalesScreen>(state);
}

}  // namespace

BENCHMARK(BM_Rfm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrderRanking)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GoodsRanking)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrderVisits)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AfterSalesOrders120)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AfterSalesVisits120)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AfterSalesGoods)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RfmScreenLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrderRankScreenLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GoodsRankScreenLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Order2VisitScreenLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AfterSalesScreenLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchData data{10000, 4.0};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QApplication app(argc, argv);

    Fixture fixture;
    g = &fixture;
    fixture.session.program_folder = fixture.dir.path();
    const QDate as_of(2026, 12, 8);
    QElapsedTimer made;
    made.start();
    DemoOptions options;
    options.customers = data.customers;
    options.order_factor = data.order_factor;
    options.as_of = as_of;
    make_demo_folder(fixture.dir.path(), options);
    fixture.session.clock.fix(as_of);
    start_session(fixture.session);
    fixture.goods_id = db().query_rows("select min(商品ID) from 商品", 1)(0, 1);
    std::printf("data: %s customers, %s orders, %s order lines, %s visits (made in %.1f s)\n",
                qPrintable(db().query_rows("select count(*) from 顧客", 1)(0, 1)),
                qPrintable(db().query_rows("select count(*) from 受注", 1)(0, 1)),
                qPrintable(db().query_rows("select count(*) from 受注明細", 1)(0, 1)),
                qPrintable(db().query_rows("select count(*) from 訪問", 1)(0, 1)), made.elapsed() / 1000.0);

    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
