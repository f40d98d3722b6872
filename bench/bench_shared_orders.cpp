// Orders of two lines saved per second by 1, 4 and 8 clients at once, each with its own connection:
// on the embedded file, and on MariaDB when SALES_TEST_MYSQL_DSN names a data source (as
// tests/integration/mariadb_server.sh prints; its database is emptied and refilled).
// Run: build/bench/bench_shared_orders   (items_per_second is the orders of all clients together)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "db/database.h"
#include "db/schema.h"
#include "records/order_entry.h"
#include "mysql_scratch.h"

namespace {

QTemporaryDir* g_dir = nullptr;
bool g_mariadb_ready = false;

QString file_path() {
    return QDir(g_dir->path()).filePath(QStringLiteral("sales.mdb"));
}

std::unique_ptr<Database> connect(bool mariadb) {
    auto db = std::make_unique<Database>();
    if (mariadb)
        db->open(QStringLiteral("Mysql"), qEnvironmentVariable("SALES_TEST_MYSQL_DSN"), g_dir->path());
    else
        db->open_sqlite_file(file_path(), false);
    return db;
}

// The customer every order is saved for: a save for a customer not in the register is refused.
void add_customer(Database& db) {
    db.execute_sql(QStringLiteral("insert into 顧客 (顧客名,顧客名かな) values('顧客','こきゃく')"));
}

// Tables and seed rows, once per back-end (the first thread, before the clients start).
void prepare(bool mariadb) {
    if (!mariadb) {
        if (QFileInfo::exists(file_path()))
            return;
        Database db;
        db.open_sqlite_file(file_path(), true);
        create_schema(db);
        add_customer(db);
        return;
    }
    if (g_mariadb_ready)
        return;
    std::unique_ptr<Database> db = connect(true);
    fresh_mysql_database(*db);
    create_schema(*db);
    add_customer(*db);
    g_mariadb_ready = true;
}

void save_orders(benchmark::State& state, bool mariadb) {
    if (mariadb && qEnvironmentVariable("SALES_TEST_MYSQL_DSN").isEmpty()) {
        state.SkipWithError("SALES_TEST_MYSQL_DSN is not set");
        return;
    }
    if (state.thread_index() == 0)
        prepare(mariadb);
    std::unique_ptr<Database> db;
    try {
        db = connect(mariadb);
    } catch (const DatabaseError& e) {
        state.SkipWithError(e.message().toStdString().c_str());
        return;
    }
    const QDate today(2026, 12, 8);
    for (auto _ : state) {
        OrderForm form{
            QStringLiteral("1"),
            QStringLiteral("顧客"),
            QStringLiteral("山田"),
            QStringLiteral("2026/12/08"),
            QStringLiteral("注文"),
            QStringLiteral("300"),
            QStringLiteral("10"),
            QStringLiteral("0"),
            {{QStringLiteral("1"), QStringLiteral("品"), QStringLiteral("1"), QStringLiteral("100")},
             {QStringLiteral("2"), QStringLiteral("品"), QStringLiteral("2"), QStringLiteral("200")}}};
        if (!save_order(*db, form, today).isEmpty()) {
            state.SkipWithError("order refused");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SaveOrders_EmbeddedFile(benchmark::State& state) {
    save_orders(state, false);
}
void BM_SaveOrders_MariaDB(benchmark::State& state) {
    save_orders(state, true);
}

}  // namespace

BENCHMARK(BM_SaveOrders_EmbeddedFile)->Threads(1)->Threads(4)->Threads(8)->UseRealTime();
BENCHMARK(BM_SaveOrders_MariaDB)->Threads(1)->Threads(4)->Threads(8)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
