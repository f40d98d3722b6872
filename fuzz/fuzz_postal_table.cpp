// Japan Post's files and postal tables, both as any bytes: reading never crashes, a file that reads
// builds a table that opens and finds every code it was built from, and a damaged table is refused
// or answers within its own bounds.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "address/postal_source.h"
#include "address/postal_table.h"
#include "fuzz_support.h"

namespace {
QTemporaryDir* folder;

void write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytes);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz_application(argc, argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString table_path = folder->filePath(QStringLiteral("postal.dat"));
    if (data[0] & 1) {
        // A table file as found on disk.
        write_file(table_path, bytes);
        const std::unique_ptr<PostalTable> table = PostalTable::open(table_path);
        if (table) {
            table->find_code(QStringLiteral("1000001"));
            table->find_code(QStringLiteral("0000000"));
            table->find_address(QString(), QStringLiteral("東京都千代田区千代田"));
            table->code_count();
        }
        return 0;
    }
    // One of Japan Post's files, plain or zipped.
    const QString source = folder->filePath(QStringLiteral("KEN_ALL.CSV"));
    write_file(source, bytes);
    const PostalRead read = read_japan_post_file(source);
    if (!read.ok)
        return 0;
    FUZZ_CHECK(!read.data.entries.isEmpty(), "a read file without entries");
    const PostalUpdate update = update_postal_table(source, table_path, QStringLiteral("2025/09/30"));
    FUZZ_CHECK(update.ok, "%s", qPrintable(update.message));
    const std::unique_ptr<PostalTable> table = PostalTable::open(table_path);
    FUZZ_CHECK(table != nullptr, "the built table does not open");
    for (const PostalEntry& e : read.data.entries) {
        const QVector<PostalEntry> found = table->find_code(e.code);
        FUZZ_CHECK(found.contains(e), "%s not found", qPrintable(e.code));
        table->find_address(e.prefecture, e.city + e.town);
    }
    return 0;
}
