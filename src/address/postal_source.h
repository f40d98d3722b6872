#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

#include "address/postal_table.h"

// Japan Post's own files of the postal codes of every address: KEN_ALL.CSV (Shift_JIS, a long town
// name continued over several records) and utf_ken_all.csv (UTF-8, one record a line), either of
// them as it is or in a ZIP file. Fifteen values a record; the third is the code, the seventh to
// ninth 都道府県, 市区町村 and 町域.

struct PostalRead {
    bool ok = false;
    QString problem;  // for the user, when not ok
    PostalData data;
};

// Reads a file; the data's date is the ZIP entry's date or else the file's.
PostalRead read_japan_post_file(const QString& path);
// Reads bytes as one of those files; name and date describe them.
PostalRead read_japan_post_bytes(const QByteArray& bytes, const QString& name, const QDate& date);

// A town as an address is written: 「以下に掲載がない場合」, 「○○の次に番地がくる場合」 and 「○○村一円」
// are no town (empty); bracketed notes such as 「（次のビルを除く）」 or 「（１～１９丁目）」 are dropped,
// but a floor of a building with codes by floor stays (「（３階）」 → 「３階」).
QString postal_town(const QString& town, const QString& city);

struct PostalUpdate {
    bool ok = false;
    QString message;  // what was done, or the problem
};

// Builds the table from Japan Post's file and puts it at target in one step: on any failure the
// table there stays as it was. date (yyyy/mm/dd) and source replace the file's own when not empty.
PostalUpdate update_postal_table(const QString& source_path, const QString& target_path,
                                 const QString& date = {}, const QString& source = {});
