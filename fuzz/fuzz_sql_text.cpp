// Any text spliced with sql_text into a statement, translated for SQLite and stored, reads back
// exactly (NUL characters, which no back-end stores, dropped); no text changes the statement.
#include <QString>

#include "db/database.h"
#include "db/dialect.h"
#include "fuzz_support.h"

namespace {
Database* db;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz_application(argc, argv);
    db = new Database;
    db->open_sqlite_file(QStringLiteral(":memory:"), true);
    db->execute_sql(QStringLiteral("create table t ([id] integer primary key, [a] text, [d] text)"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // U+FFFE and U+FFFF no back-end gives back as stored: such a text is refused, and only such a one.
    const bool unreadable = text.contains(QChar(0xFFFE)) || text.contains(QChar(0xFFFF));
    // The same text twice around a date literal and a bracketed name, which the translation rewrites.
    try {
        db->execute_sql(QStringLiteral("insert into [t] ([a], [d]) values (") + sql_text(text) +
                        QStringLiteral(", #2026/12/08#)"));
    } catch (const DatabaseError& e) {
        FUZZ_CHECK(unreadable, "refused: %s", qPrintable(e.message()));
        FUZZ_CHECK(db->query_rows(QStringLiteral("select count(*) from [t]"), 1)(0, 1) == QStringLiteral("0"),
                   "a refused text was stored");
        return 0;
    }
    FUZZ_CHECK(!unreadable, "a text holding U+FFFE or U+FFFF was stored");
    const ResultTable rows = db->query_rows(QStringLiteral("select [a], [d] from [t]"), 2);
    FUZZ_CHECK(rows.row_count() == 1, "%d rows after one insert", rows.row_count());
    text.remove(QChar(0));
    // query_rows shows NULL as "-"; an empty text is stored as an empty text, not NULL.
    FUZZ_CHECK(rows(0, 1) == text, "stored \"%s\", read \"%s\"", qPrintable(text), qPrintable(rows(0, 1)));
    FUZZ_CHECK(rows(1, 1) == QStringLiteral("2026/12/08"), "date read as %s", qPrintable(rows(1, 1)));
    db->execute_sql(QStringLiteral("delete from [t]"));
    return 0;
}
