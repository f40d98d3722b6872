// One keystroke in the customer search: the query over 100,000 customers and the refill of the list,
// as the user sees it. Run: build/bench/bench_search [--customers N]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "app/demo_data.h"
#include "app/session.h"
#include "app/startup.h"
#include "bench_support.h"
#include "db/schema.h"
#include "silent_prompter.h"
#include "ui/main_window.h"
#include "ui/prompter.h"

namespace {

// Texts as they stand after each keystroke of a user typing readings.
const char* const kKeystrokes[] = {"や", "やま", "やまだ", "さ",   "さと", "さとう", "た",   "たな", "たなか",
                                   "す", "すず", "すずき", "か",   "かと", "こ",     "こば", "わ",   "わた",
                                   "い", "いの", "ふ",     "ふじ", "ま",   "まつ",   "あ",   "あお"};

struct Fixture {
    QTemporaryDir dir;
    Session session;
    SilentPrompter prompter;
    std::unique_ptr<MainWindow> window;
};
Fixture* g_fixture = nullptr;

void BM_SearchKeystroke(benchmark::State& state) {
    MainWindow& window = *g_fixture->window;
    auto* list = window.findChild<QListView*>("List1");
    size_t i = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        window.search(QString::fromUtf8(kKeystrokes[i % std::size(kKeystrokes)]));
        QCoreApplication::processEvents();  // the list lays out and paints
        rows += list->model()->rowCount();
        ++i;
    }
    state.counters["rows_per_keystroke"] = benchmark::Counter(double(rows) / double(state.iterations()));
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(260);

// The median over the keystrokes, each timed on its own.
void print_median() {
    MainWindow& window = *g_fixture->window;
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        for (const char* text : kKeystrokes) {
            QElapsedTimer t;
            t.start();
            window.search(QString::fromUtf8(text));
            QCoreApplication::processEvents();
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "keystroke search + list refill over %s customers: median %.2f ms, 90th percentile %.2f ms, max %.2f "
        "ms\n",
        qPrintable(g_fixture->session.db->query_rows("select count(*) from 顧客", 1)(0, 1)),
        ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchData data{100000};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QApplication app(argc, argv);

    Fixture fixture;
    g_fixture = &fixture;
    fixture.session.program_folder = fixture.dir.path();
    DemoOptions options;
    options.customers = data.customers;
    options.activities = false;
    make_demo_folder(fixture.dir.path(), options);
    start_session(fixture.session);
    fixture.window = std::make_unique<MainWindow>(fixture.session, fixture.prompter);
    fixture.window->show();
    QCoreApplication::processEvents();

    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    print_median();
    benchmark::Shutdown();
    fixture.window.reset();
    return 0;
}
