// The shipped postal table: opening it (the program's first need of it), a look-up by code, by
// address, and through the table in use (which looks whether a file changed), and the grouping of
// a phone number. The target is under 1 ms a look-up.
// Run: build/bench/bench_postal [--table FILE]   (default: the table in the source tree)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <random>
#include <string>

#include "address/phone_number.h"
#include "address/postal_files.h"
#include "address/postal_table.h"

namespace {

QString g_table = QStringLiteral(SALES_SHIPPED_POSTAL_TABLE);

// Codes of one town, of the rest of a city, of a building floor and of 70 towns (清須市 452-0961).
const char* const kCodes[] = {"1000001", "0600000", "1506001", "4520961", "5300001", "9071801",
                              "0285102", "2200012", "8120011", "9800811", "4600008", "7300011"};
const char* const kAddresses[] = {"東京都千代田区丸の内1-9-1",
                                  "北海道札幌市中央区大通西5丁目",
                                  "神奈川県横浜市西区みなとみらい2-2-1",
                                  "大阪府大阪市北区梅田３丁目１",
                                  "岩手県葛巻町葛巻1",
                                  "福岡県福岡市博多区博多駅前2-1-1",
                                  "京都府京都市中京区河原町通三条上る",
                                  "沖縄県那覇市泉崎1-2-2"};
const char* const kPhones[] = {"0312345678", "０３（１２３４）５６７８", "+81 90 1234 5678", "0467123456",
                               "12345"};

void BM_OpenTable(benchmark::State& state) {
    for (auto _ : state) {
        auto table = PostalTable::open(g_table);
        benchmark::DoNotOptimize(table.get());
    }
    state.counters["table_bytes"] = double(QFileInfo(g_table).size());
}
BENCHMARK(BM_OpenTable)->Unit(benchmark::kMicrosecond);

void BM_FindKnownCode(benchmark::State& state) {
    const auto table = PostalTable::open(g_table);
    std::size_t i = 0;
    qint64 towns = 0;
    for (auto _ : state) {
        const QVector<PostalEntry> found =
            table->find_code(QString::fromLatin1(kCodes[i++ % std::size(kCodes)]));
        towns += found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["towns_per_lookup"] = double(towns) / double(state.iterations());
}
BENCHMARK(BM_FindKnownCode)->Unit(benchmark::kMicrosecond);

void BM_FindRandomCode(benchmark::State& state) {
    const auto table = PostalTable::open(g_table);
    std::mt19937 random(27);
    std::uniform_int_distribution<int> code(0, 9999999);
    for (auto _ : state) {
        const QVector<PostalEntry> found =
            table->find_code(QStringLiteral("%1").arg(code(random), 7, 10, QLatin1Char('0')));
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(BM_FindRandomCode)->Unit(benchmark::kMicrosecond);

// What the customer frame does for a code typed: the table in use, then the look-up.
void BM_FindCodeInUse(benchmark::State& state) {
    qputenv("SALES_POSTAL_TABLE", QFile::encodeName(g_table));
    std::size_t i = 0;
    for (auto _ : state) {
        const PostalTable* table = current_postal_table();
        const QVector<PostalEntry> found =
            table->find_code(QString::fromLatin1(kCodes[i++ % std::size(kCodes)]));
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(BM_FindCodeInUse)->Unit(benchmark::kMicrosecond);

void BM_FindAddress(benchmark::State& state) {
    const auto table = PostalTable::open(g_table);
    table->find_address(QString(), QStringLiteral("東京都"));  // the names are folded once, on first need
    std::size_t i = 0;
    for (auto _ : state) {
        const QVector<PostalEntry> found =
            table->find_address(QString(), QString::fromUtf8(kAddresses[i++ % std::size(kAddresses)]));
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(BM_FindAddress)->Unit(benchmark::kMicrosecond);

void BM_FirstAddressSearch(benchmark::State& state) {
    for (auto _ : state) {
        const auto table = PostalTable::open(g_table);
        benchmark::DoNotOptimize(table->find_address(QString(), QString::fromUtf8(kAddresses[0])).data());
    }
}
BENCHMARK(BM_FirstAddressSearch)->Unit(benchmark::kMillisecond);

void BM_FormatPhone(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        const PhoneNumberText number =
            format_phone_number(QString::fromUtf8(kPhones[i++ % std::size(kPhones)]));
        benchmark::DoNotOptimize(number.text.data());
    }
}
BENCHMARK(BM_FormatPhone)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--table" && i + 1 < argc)
            g_table = QString::fromLocal8Bit(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    QString problem;
    if (!PostalTable::open(g_table, &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
