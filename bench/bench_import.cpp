// Importing a customer file of 100,000 records, the check included, into a fresh database: the
// records are read and checked, stored with their copies and match keys, and the search index takes
// them in. Prints the best of two runs.
// Run: build/bench/bench_import [--customers N]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "customers/csv_import.h"
#include "db/database.h"
#include "db/schema.h"

namespace {

int g_customers = 100000;
QTemporaryDir* g_dir = nullptr;
QString g_file;
std::vector<double> g_wall_ms, g_cpu_ms;  // of each import

double process_cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Shift_JIS is the harder case (it is tried after UTF-8 fails); the records mix quoted and bare values.
void write_customer_file(const QString& path, int customers) {
    const char* const family[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村"};
    const char* const kana[] = {"やまだ", "さとう", "すずき",   "たかはし",
                                "たなか", "いとう", "わたなべ", "なかむら"};
    QString text;
    text.reserve(customers * 140);
    for (int i = 0; i < customers; ++i) {
        const int k = i % 8;
        text += QStringLiteral(
                    "\"%1商事 %2\",%3しょうじ,東京都,100,%4,\"千代田区丸の内 %5-1\",03-1234-%6,"
                    "03-1234-0000,090-0000-%6,info%2@example.jp,%1 太郎,%3 たろう,\"備考, その%2\"\r\n")
                    .arg(QString::fromUtf8(family[k]))
                    .arg(i)
                    .arg(QString::fromUtf8(kana[k]))
                    .arg(i % 10000, 4, 10, QLatin1Char('0'))
                    .arg(i % 50)
                    .arg(i % 10000, 4, 10, QLatin1Char('0'));
    }
    QStringEncoder sjis("Shift_JIS");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
    file.write(sjis.encode(text));
}

void BM_ImportCustomers(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString db_path = QDir(g_dir->path()).filePath(QStringLiteral("run%1.mdb").arg(run++));
        Database db;
        db.open_sqlite_file(db_path, true);
        create_schema(db);
        state.ResumeTiming();

        // The import checks the whole file before it inserts anything, as the menu command runs it.
        const double cpu = process_cpu_ms();
        QElapsedTimer wall;
        wall.start();
        const CsvResult imported = import_customer_csv(db, g_file);
        g_wall_ms.push_back(wall.nsecsElapsed() / 1e6);
        g_cpu_ms.push_back(process_cpu_ms() - cpu);

        state.PauseTiming();
        if (!imported.ok || imported.count != g_customers) {
            state.SkipWithError(qPrintable(imported.message));
            break;
        }
        db.close();
        QFile::remove(db_path);
        QFile::remove(db_path + QStringLiteral("-wal"));
        QFile::remove(db_path + QStringLiteral("-shm"));
        state.ResumeTiming();
    }
    state.counters["customers"] = g_customers;
}
BENCHMARK(BM_ImportCustomers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The check alone: reading, decoding and testing every value.
void BM_CheckCustomers(benchmark::State& state) {
    for (auto _ : state) {
        const CsvResult checked = validate_customer_csv(g_file);
        if (!checked.ok) {
            state.SkipWithError(qPrintable(checked.message));
            break;
        }
    }
}
BENCHMARK(BM_CheckCustomers)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--customers") == 0)
            g_customers = std::atoi(argv[i + 1]);
    QTemporaryDir dir;
    g_dir = &dir;
    g_file = QDir(dir.path()).filePath(QStringLiteral("customers.csv"));
    write_customer_file(g_file, g_customers);
    std::fprintf(stderr, "%d customers, %lld bytes\n", g_customers, QFileInfo(g_file).size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (!g_wall_ms.empty())
        std::printf(
            "import of %d customers, check, copies and search index included: best of two %.0f ms "
            "(cpu of both threads %.0f ms)\n",
            g_customers, *std::min_element(g_wall_ms.begin(), g_wall_ms.end()),
            *std::min_element(g_cpu_ms.begin(), g_cpu_ms.end()));
    benchmark::Shutdown();
    return 0;
}
