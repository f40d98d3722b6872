#pragma once

#include <QDir>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/demo_data.h"
#include "app/startup.h"
#include "db/database.h"
#include "db/schema.h"

// The size of the demo data a benchmark makes: --customers N and --order-factor F are taken out of
// the arguments, the rest is left for Google Benchmark.
struct BenchData {
    int customers;
    double order_factor = 1.0;
};

inline std::vector<char*> take_data_options(int argc, char** argv, BenchData& data) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--customers" && i + 1 < argc)
            data.customers = std::atoi(argv[++i]);
        else if (arg == "--order-factor" && i + 1 < argc)
            data.order_factor = std::atof(argv[++i]);
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
