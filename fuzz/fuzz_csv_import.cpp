// The CSV reader with its checks and the import, on any file: nothing crashes, a refused import
// leaves the table as it was, an accepted one adds exactly the rows it reports.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "customers/csv_import.h"
#include "db/database.h"
#include "db/schema.h"
#include "fuzz_support.h"

namespace {
QTemporaryDir* folder;
Database* db;

int rows(const QString& table) {
    return db->query_rows(QStringLiteral("select count(*) from ") + table, 1)(0, 1).toInt();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz_application(argc, argv);
    folder = new QTemporaryDir;
    db = new Database;
    db->open_sqlite_file(QStringLiteral(":memory:"), true);
    create_schema(*db);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool goods = data[0] & 1;
    const QString path = folder->filePath(QStringLiteral("input.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    const QString table = goods ? QStringLiteral("商品") : QStringLiteral("顧客");
    const CsvResult checked = goods ? validate_goods_csv(path) : validate_customer_csv(path);
    const int before = rows(table);
    const CsvResult imported = goods ? import_goods_csv(*db, path) : import_customer_csv(*db, path);
    const int after = rows(table);
    FUZZ_CHECK(!imported.message.isEmpty(), "an import without a message");
    if (imported.ok)
        FUZZ_CHECK(after - before == imported.count, "reported %d, stored %d", imported.count,
                   after - before);
    else
        FUZZ_CHECK(after == before, "refused import left %d rows", after - before);
    // The check alone passes every file the import takes.
    if (imported.ok)
        FUZZ_CHECK(checked.ok, "import took a file the check refused: %s", qPrintable(checked.message));
    db->execute_sql(QStringLiteral("delete from ") + table);
    return 0;
}
