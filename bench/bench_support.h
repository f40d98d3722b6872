#pragma once

#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/demo_data.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/schema.h"

// The size of the demo data a benchmark makes: --customers N and --order-factor F are taken out of
// the arguments, and --mysql DSN (the benchmark runs against that MySQL/MariaDB data source instead
// of an embedded file); the rest is left for Google Benchmark.
struct BenchData {
    int customers;
    double order_factor = 1.0;
    QString mysql_dsn;
};

inline std::vector<char*> take_data_options(int argc, char** argv, BenchData& data) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--customers" && i + 1 < argc)
            data.customers = std::atoi(argv[++i]);
        else if (arg == "--order-factor" && i + 1 < argc)
            data.order_factor = std::atof(argv[++i]);
        else if (arg == "--mysql" && i + 1 < argc)
            data.mysql_dsn = QString::fromLocal8Bit(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    return rest;
}

// A program folder's embedded database filled with demo data, and its sales.ini.
inline void make_demo_folder(const QString& folder, const DemoOptions& options) {
    Database db;
    db.open_sqlite_file(QDir(folder).filePath(QStringLiteral("sales.mdb")), true);
    create_schema(db);
    generate_demo_data(db, options);
    write_sales_ini(folder, QStringLiteral("bench"), QStringLiteral("Jet"), QStringLiteral("sales.mdb"));
}

// The data source's database gets the demo data once: it must hold no tables, or the data an earlier
// run with the same options left there (kept, since filling a server takes minutes). Exits with a
// message otherwise, so a benchmark never writes into a database of real work.
inline void make_mysql_data(const QString& dsn, const QString& folder, const DemoOptions& options) {
    const QString item = QStringLiteral("ベンチマークのデータ");
    const QString made = QStringLiteral("顧客 %1 件、履歴 %2").arg(options.customers).arg(options.activities);
    Database db;
    db.open(QStringLiteral("Mysql"), dsn, folder);
    const int tables =
        db.query_rows(
              QStringLiteral("select count(*) from information_schema.tables where table_schema=database()"),
              1)(0, 1)
            .toInt();
    if (tables > 0) {
        QString found;
        try {
            found = db.query_rows(
                QStringLiteral("select [値] from [プログラム設定] where [項目]='%1'").arg(item), 1)(0, 1);
        } catch (const DatabaseError&) {
        }
        if (found != made) {
            std::fprintf(stderr,
                         "--mysql %s: the database holds tables that this benchmark did not make (%s); "
                         "give a data source whose database is empty.\n",
                         qPrintable(dsn), qPrintable(found));
            std::exit(2);
        }
        return;
    }
    std::fprintf(stderr, "filling %s with %d customers (once)...\n", qPrintable(dsn), options.customers);
    create_schema(db);
    generate_demo_data(db, options);
    db.execute_sql(
        QStringLiteral("insert into [プログラム設定] ([項目],[値]) values('%1','%2')").arg(item, made));
}

// The program folder of a benchmark: the embedded file, or the data source's database.
inline void make_bench_folder(const QString& folder, const BenchData& data, const DemoOptions& options) {
    if (data.mysql_dsn.isEmpty()) {
        make_demo_folder(folder, options);
        return;
    }
    make_mysql_data(data.mysql_dsn, folder, options);
    write_sales_ini(folder, QStringLiteral("bench"), QStringLiteral("Mysql"), data.mysql_dsn);
}
