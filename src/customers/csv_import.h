#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class Database;

// The outcome of a check or an import: ok, and the message for the user (the problem, or the count).
struct CsvResult {
    bool ok = false;
    QString message;
    int count = 0;  // records imported (or, for a passed check, records found)
};

// Reports progress (records done, records in all); returning false cancels an import, which then
// leaves nothing behind.
using ImportProgress = std::function<bool(int done, int total)>;

// Customer files: 13 values per record (顧客名, 顧客名かな, 都道府県, 郵便番号1, 郵便番号2, 住所, TEL,
// FAX, 携帯, Email, 担当者, 担当者かな, 備考). Goods files: 4 (分類コード, 分類, 商品名, 単価).
// Values are read in the sequential value format, records are counted over values, not lines.
// Files may be UTF-8 (with or without BOM) or Shift_JIS; anything else is refused.
// A file that begins with the heading row of this program's export (csv_export.h) is taken back
// whole: the checks of a name, a reading and an Email are for other files; its values lose exactly
// the protection the export gave them (read_back_cell), and an empty number is NULL again.
CsvResult validate_customer_csv(const QString& path);
CsvResult validate_goods_csv(const QString& path);

// Choices of a customer import. format_phones: TEL, FAX and 携帯 go in grouped as the phone boxes
// group them (03-1234-5678); off, every value goes in as the file has it.
struct CustomerImportOptions {
    bool format_phones = false;
};

// Check and insert in one transaction: a refused file or record leaves nothing of the file behind.
// skip: records (counted from 0) left out, e.g. the duplicates the user chose not to import.
CsvResult import_customer_csv(Database& db, const QString& path, const ImportProgress& progress = {},
                              const QSet<int>& skip = {}, const CustomerImportOptions& options = {});
// The records of a customer file that passes the check, 13 values each; empty when it does not pass.
QVector<QStringList> read_customer_records(const QString& path);
CsvResult import_goods_csv(Database& db, const QString& path, const ImportProgress& progress = {});
