#pragma once

#include <QDate>
#include <functional>

#include "db/database.h"

struct DemoOptions {
    int customers = 300;
    bool activities = true;  // false: customers, employees and goods only (benchmarks)
    QDate as_of = QDate::currentDate();
    quint32 seed = 20031130;
    double order_factor = 1.0;  // scales the orders per customer (benchmarks: 4 gives ~200,000 per 10,000)
};

// Fills an empty database with realistic sample data: customers with Japanese names and hiragana
// readings, employees, goods, two years of orders with lines, visits, estimates, claims (some
// unanswered), inquiries, costs and mail templates. Runs in one transaction. progress(done, total)
// is called now and then.
void generate_demo_data(Database& db, const DemoOptions& options,
                        const std::function<void(int, int)>& progress = {});
