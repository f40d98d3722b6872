// 持ち出し and 同期 at scale.
//   checkout/embedded   持ち出し of an embedded office with the demo data at scale (default 10,000
//                       customers and about 200,000 orders with their lines)
//   checkout/mariadb    the same office data on the MariaDB server of SALES_TEST_MYSQL_DSN
//   sync/mariadb        同期 of 1,000 laptop changes (new customers, orders with lines, visits,
//                       customer edits) against that server; send_s and refresh_s split the time
// The MariaDB benchmarks empty and refill the data source's database; without SALES_TEST_MYSQL_DSN
// they are skipped. Run: build/bench/bench_sync [--customers N] [--order-factor F]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>

#include "app/demo_data.h"
#include "app/session.h"
#include "app/startup.h"
#include "bench_support.h"
#include "customers/customer_store.h"
#include "records/activity_entry.h"
#include "records/order_entry.h"
#include "sync/checkout.h"
#include "sync/office_copy.h"
#include "sync/sync_rows.h"
#include "sync/sync_run.h"
#include "sync/sync_tables.h"
#include "mysql_scratch.h"

namespace {

const QDate kToday(2026, 12, 8);

struct Fixture {
    QTemporaryDir dir;
    QString office_folder;
    bool mariadb_ready = false;
    QString dsn;
};
Fixture* g_fixture = nullptr;

QString next_folder() {
    static int n = 0;
    return QDir(g_fixture->dir.path()).filePath(QStringLiteral("copy%1").arg(++n));
}

std::unique_ptr<Database> embedded_office() {
    auto db = std::make_unique<Database>();
    db->open(QStringLiteral("Jet"), QStringLiteral("sales.mdb"), g_fixture->office_folder);
    return db;
}

// The embedded office's rows copied into the data source's database, table by table.
bool prepare_mariadb(benchmark::State& state) {
    if (g_fixture->dsn.isEmpty()) {
        state.SkipWithError("SALES_TEST_MYSQL_DSN is not set");
        return false;
    }
    if (g_fixture->mariadb_ready)
        return true;
    Database db;
    db.open(QStringLiteral("Mysql"), g_fixture->dsn, g_fixture->dir.path());
    fresh_mysql_database(db);
    create_schema(db);
    std::unique_ptr<Database> office = embedded_office();
    Transaction tx(db);
    for (const TableShape& shape : synced_tables(*office)) {
        db.execute_sql(QStringLiteral("delete from [%1]").arg(shape.name));
        const ResultTable rows =
            office->query_rows(QStringLiteral("select %1 from [%2]").arg(row_select_list(shape), shape.name),
                               row_select_width(shape));
        QStringList columns;
        for (const QString& c : shape.columns)
            columns << QLatin1Char('[') + c + QLatin1Char(']');
        QStringList values;
        auto flush = [&] {
            if (values.isEmpty())
                return;
            db.execute_sql(
                QStringLiteral("insert into [%1] (%2) values%3")
                    .arg(shape.name, columns.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
            values.clear();
        };
        for (int r = 1; r <= rows.row_count(); ++r) {
            const SyncRow row = result_row(rows, r, 0, shape);
            QStringList literals;
            for (int c = 0; c < shape.columns.size(); ++c)
                literals << row_literal(shape, row, c);
            values << QLatin1Char('(') + literals.join(QLatin1Char(',')) + QLatin1Char(')');
            if (values.size() >= 500)
                flush();
        }
        flush();
    }
    tx.commit();
    g_fixture->mariadb_ready = true;
    return true;
}

void checkout(benchmark::State& state, bool mariadb) {
    if (mariadb && !prepare_mariadb(state))
        return;
    int customers = 0, orders = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Database> office;
        if (mariadb) {
            office = std::make_unique<Database>();
            office->open(QStringLiteral("Mysql"), g_fixture->dsn, g_fixture->dir.path());
        } else {
            office = embedded_office();
        }
        CheckoutOptions options;
        options.folder = next_folder();
        // Where the time goes, table by table, on the first run.
        QElapsedTimer table_timer;
        QString table_name;
        static bool shown = false;
        options.progress = [&](int, int, const QString& table) {
            if (!shown && !table_name.isEmpty())
                std::fprintf(stderr, "  %s %.2f s\n", qPrintable(table_name), table_timer.elapsed() / 1000.0);
            table_name = table;
            table_timer.start();
            return true;
        };
        state.ResumeTiming();
        const CheckoutResult result =
            take_out(*office,
                     {mariadb ? QStringLiteral("Mysql") : QStringLiteral("Jet"),
                      mariadb ? g_fixture->dsn : QStringLiteral("sales.mdb"), g_fixture->office_folder},
                     options);
        customers = result.customers;
        orders = result.orders;
        shown = true;
        state.PauseTiming();
        QDir(options.folder).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["customers"] = customers;
    state.counters["orders"] = orders;
}

// 1,000 changes: 250 customer edits, 150 new customers, 150 orders of two lines each, 150 visits.
void make_changes(Session& laptop, int round) {
    Database& db = *laptop.db;
    const ResultTable ids = db.query_rows(QStringLiteral("select 顧客ID from 顧客 order by 顧客ID"), 1);
    for (int i = 0; i < 250; ++i) {
        const QString id = ids(0, 1 + (i * 7) % ids.row_count());
        QStringList fields = load_customer(db, id)->mid(1, kCustomerFieldCount);
        fields[customer_field_columns().indexOf(QStringLiteral("備考"))] =
            QStringLiteral("出先で変更 %1-%2").arg(round).arg(i);
        update_customer(db, fields, id);
    }
    for (int i = 0; i < 150; ++i) {
        QStringList fields(kCustomerFieldCount);
        fields[0] = QStringLiteral("出先の新規顧客%1").arg(i);
        fields[1] = QStringLiteral("でさき");
        insert_customer(db, fields);
        const QString id = db.query_rows(QStringLiteral("select max(顧客ID) from 顧客"), 1)(0, 1);
        OrderForm form{id,
                       fields[0],
                       QStringLiteral("山田 太郎"),
                       QStringLiteral("2026/12/05"),
                       QStringLiteral("出先の注文"),
                       QStringLiteral("3000"),
                       QStringLiteral("10"),
                       QStringLiteral("0"),
                       {{QStringLiteral("1"), QString(), QStringLiteral("1"), QStringLiteral("1000")},
                        {QStringLiteral("2"), QString(), QStringLiteral("2"), QStringLiteral("2000")}}};
        save_order(db, form, kToday);
        QStringList boxes = {QStringLiteral("山田 太郎"), QStringLiteral("2026/12/05"),
                             QStringLiteral("出先訪問"), QString()};
        save_activity(db, activity_kind(Activity::Visit), id, boxes, kToday);
    }
}

void sync_mariadb(benchmark::State& state) {
    if (!prepare_mariadb(state))
        return;
    double send_seconds = 0, refresh_seconds = 0;
    int sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = next_folder();
        {
            Database office;
            office.open(QStringLiteral("Mysql"), g_fixture->dsn, g_fixture->dir.path());
            CheckoutOptions options;
            options.folder = folder;
            take_out(office, {QStringLiteral("Mysql"), g_fixture->dsn, QString()}, options);
        }
        Session laptop;
        laptop.program_folder = folder;
        laptop.clock.fix(kToday);
        start_session(laptop);
        static int round = 0;
        make_changes(laptop, ++round);
        Database office;
        open_office(office, read_copy_info(*laptop.db));
        QElapsedTimer timer;
        qint64 refresh_started = -1;
        SyncOptions options;
        options.progress = [&](int, int, const QString& label) {
            if (refresh_started < 0 && label.startsWith(QStringLiteral("受信中")))
                refresh_started = timer.elapsed();
            return true;
        };
        state.ResumeTiming();
        timer.start();
        const SyncSummary summary = synchronize(*laptop.db, office, options);
        const qint64 total = timer.elapsed();
        state.PauseTiming();
        sent = summary.sent;
        send_seconds += refresh_started / 1000.0;
        refresh_seconds += (total - refresh_started) / 1000.0;
        laptop.db->close();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["sent"] = sent;
    state.counters["send_s"] = benchmark::Counter(send_seconds, benchmark::Counter::kAvgIterations);
    state.counters["refresh_s"] = benchmark::Counter(refresh_seconds, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK_CAPTURE(checkout, embedded, false)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(checkout, mariadb, true)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(sync_mariadb)->Name("sync/mariadb")->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
    BenchData data{10000, 4.0};
    std::vector<char*> args = take_data_options(argc, argv, data);
    int bench_argc = int(args.size());
    QCoreApplication app(argc, argv);
    Fixture fixture;
    g_fixture = &fixture;
    fixture.dsn = qEnvironmentVariable("SALES_TEST_MYSQL_DSN");
    fixture.office_folder = QDir(fixture.dir.path()).filePath(QStringLiteral("office"));
    QDir().mkpath(fixture.office_folder);
    DemoOptions options;
    options.customers = data.customers;
    options.order_factor = data.order_factor;
    options.as_of = kToday;
    QElapsedTimer made;
    made.start();
    make_demo_folder(fixture.office_folder, options);
    std::fprintf(stderr, "office with %d customers made in %.1f s\n", data.customers,
                 made.elapsed() / 1000.0);
    benchmark::Initialize(&bench_argc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
