// Today's jobs after login over a database of many orders: reading the four lists and showing the
// screen, then paging through the order list as a user would.
// Run: build-rel/bench/bench_today_jobs [--customers N] [--order-factor F]
//   (2,000 customers give about 10,000 orders; 10,000 with factor 4 about 200,000)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>

#include "app/demo_data.h"
#include "app/session.h"
#include "app/startup.h"
#include "bench_support.h"
#include "db/schema.h"
#include "records/today_jobs.h"
#include "silent_prompter.h"
#include "ui/common/prompter.h"
#include "ui/records/today_job.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    Session session;
    SilentPrompter prompter;
};
Fixture* g_fixture = nullptr;

// Reading the lists alone.
void BM_LoadTodayJobs(benchmark::State& state) {
    qint64 rows = 0;
    for (auto _ : state) {
        const TodayJobs jobs = load_today_jobs(*g_fixture->session.db);
        rows = jobs.orders.size() + jobs.estimates.size() + jobs.inquiries.size() + jobs.claims.size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_LoadTodayJobs)->Unit(benchmark::kMillisecond)->UseRealTime();

// The screen from creation until it is painted on the display.
void BM_OpenTodayJobScreen(benchmark::State& state) {
    for (auto _ : state) {
        TodayJobScreen screen(g_fixture->session, g_fixture->prompter);
        screen.show();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_OpenTodayJobScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// One page down in the order list, repainted.
void BM_PageThroughOrders(benchmark::State& state) {
    TodayJobScreen screen(g_fixture->session, g_fixture->prompter);
    screen.show();
    QCoreApplication::processEvents();
    auto* list = screen.findChild<QListView*>(QStringLiteral("List3_0"));
    QScrollBar* bar = list->verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        list->viewport()->repaint();
    }
    state.counters["orders"] = double(list->model()->rowCount());
}
BENCHMARK(BM_PageThroughOrders)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchData data{2000, 1.0};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QApplication app(argc, argv);

    Fixture fixture;
    g_fixture = &fixture;
    fixture.session.program_folder = fixture.dir.path();
    DemoOptions options;
    options.customers = data.customers;
    options.order_factor = data.order_factor;
    make_demo_folder(fixture.dir.path(), options);
    start_session(fixture.session);
    std::printf("orders: %s, estimates: %s\n",
                qPrintable(fixture.session.db->query_rows("select count(*) from 受注", 1)(0, 1)),
                qPrintable(fixture.session.db->query_rows("select count(*) from 見積もり", 1)(0, 1)));

    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
