#include "customers/csv_import.h"

#include <QDir>
#include <QFile>

#include "app/sequential_values.h"
#include "customers/customer_copies.h"
#include "customers/customer_store.h"
#include "db/database.h"
#include "db/storage_error.h"
#include "db/text_index.h"
#include "records/number_text.h"

namespace {

enum class Kind { Customers, Goods };

struct Layout {
    int width;             // values per record
    QString error_prefix;  // put before every problem of the check
    QString what;          // 顧客, 商品
};

const Layout& layout(Kind kind) {
    static const Layout customers{13, QStringLiteral("インポート顧客　エラー　"), QStringLiteral("顧客")};
    static const Layout goods{4, QString(), QStringLiteral("商品")};
    return kind == Kind::Customers ? customers : goods;
}

struct Parsed {
    QStringList values;
    QString problem;               // empty when the file passed
    bool quote_left_open = false;  // the last value's opening quote is never closed
};

bool read_values(const QString& path, Kind kind, Parsed& parsed) {
    const Layout& l = layout(kind);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        parsed.problem = l.error_prefix + QStringLiteral("ファイルを開けません: %1\n%2")
                                              .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const std::optional<QString> text = decode_japanese_text(file.readAll());
    if (!text) {
        parsed.problem =
            l.error_prefix + QStringLiteral("ファイルの文字コードが UTF-8 でも Shift_JIS でもありません: %1")
                                 .arg(QDir::toNativeSeparators(path));
        return false;
    }
    SequentialReader reader(*text);
    QString value;
    while (reader.next(value))
        parsed.values << value;
    parsed.quote_left_open = reader.quote_left_open();
    return true;
}

// The record number (from 1) of the value at index i (from 0).
int record_of(int i, int width) {
    return i / width + 1;
}

QString where(int record) {
    return QStringLiteral("\n（%1 件目のデータ）").arg(record);
}

// A value as a message quotes it: a long one is cut after its first 40 characters.
QString excerpt(const QString& value) {
    constexpr int kMost = 40;
    if (value.size() <= kMost)
        return value;
    int n = kMost;
    if (value.at(n - 1).isHighSurrogate())
        --n;  // never split a character in two
    return value.left(n) + QChar(0x2026);
}

// The tests of the customer file, in reading order; stops at the first problem.
QString check_customers(const QStringList& values) {
    const QChar first_kana(0x3042);  // あ
    const QChar last_kana(0x3093);   // ん
    for (int i = 0; i < values.size(); ++i) {
        const QString& v = values.at(i);
        const int position = i % 13 + 1;
        QString problem;
        if (position == 1 && v.isEmpty())
            problem = QStringLiteral("顧客名エラー　：") + excerpt(v);
        else if (position == 2 && (v.isEmpty() || v.at(0) < first_kana || v.at(0) > last_kana))
            problem = QStringLiteral("かなエラー　：") + excerpt(v);
        else if (position == 10 && !v.contains(QLatin1Char('@')))
            problem = QStringLiteral("EMAIL エラー　：") + excerpt(v);
        if (!problem.isEmpty())
            return problem + where(record_of(i, 13));
    }
    return QString();
}

QString check_goods(const QStringList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const int position = i % 4 + 1;
        if (position != 1 && position != 4)
            continue;
        // The code and the price are whole numbers other than 0 ("1,500" between quotes is 1500).
        const std::optional<QString> number = whole_number(values.at(i));
        if (!number || number->isEmpty() || number->toLongLong() == 0)
            return QStringLiteral("分類コードまたが単価が不正です : ") + excerpt(values.at(i)) +
                   where(record_of(i, 4));
    }
    return QString();
}

Parsed parse(const QString& path, Kind kind) {
    Parsed parsed;
    if (!read_values(path, kind, parsed))
        return parsed;
    const Layout& l = layout(kind);
    const QString problem =
        kind == Kind::Customers ? check_customers(parsed.values) : check_goods(parsed.values);
    if (!problem.isEmpty()) {
        parsed.problem = l.error_prefix + problem;
        return parsed;
    }
    if (parsed.quote_left_open) {
        // The open value swallowed every record after it: refuse rather than import them as text.
        const int record = record_of(parsed.values.size() - 1, l.width);
        parsed.problem =
            l.error_prefix + QStringLiteral(
                                 "ダブルクォート（\"）が閉じられていません（%1 件目のデータで開いた"
                                 "まま、ファイルの終わりまで続いています）：%2")
                                 .arg(record)
                                 .arg(excerpt(parsed.values.last()));
        return parsed;
    }
    const int rest = parsed.values.size() % l.width;
    if (rest != 0) {
        // Reading on would run past the end of the file: the last record is incomplete.
        const int record = record_of(parsed.values.size() - 1, l.width);
        parsed.problem = l.error_prefix + QStringLiteral(
                                              "最後のデータが不完全です（%1 件目：値が %2 個のうち %3 "
                                              "個しかありません）：%4")
                                              .arg(record)
                                              .arg(l.width)
                                              .arg(rest)
                                              .arg(excerpt(parsed.values.at(parsed.values.size() - rest)));
    }
    return parsed;
}

CsvResult validate(const QString& path, Kind kind) {
    const Parsed parsed = parse(path, kind);
    if (!parsed.problem.isEmpty())
        return {false, parsed.problem, 0};
    return {true, QString(), int(parsed.values.size() / layout(kind).width)};
}

QString insert_prefix(Kind kind) {
    return kind == Kind::Customers
               ? QStringLiteral(
                     "insert into 顧客 "
                     "(顧客名,顧客名かな,都道府県,郵便番号1,郵便番号2,住所,TEL,FAX,携帯,Email"
                     ",担当者,担当者かな,備考,") +
                     customer_copy_columns().join(QLatin1Char(',')) + QStringLiteral(") values")
               : QStringLiteral("insert into 商品 (分類コード,分類,商品名,単価) values");
}

// The values of the record starting at value index first, as "(…)".
QString row_values(Kind kind, const QStringList& values, int first) {
    QStringList quoted;
    if (kind == Kind::Customers) {
        for (int k = 0; k < 13; ++k)
            quoted << sql_text(values.at(first + k));
        // The file's first eleven values stand in field order: the copies come from them.
        quoted << customer_copy_literals(customer_copies(values.mid(first, 11)));
    } else {
        // The numbers were checked as whole numbers; they go in quoted, as the goods screen writes them.
        quoted << sql_text(*whole_number(values.at(first))) << sql_text(values.at(first + 1))
               << sql_text(values.at(first + 2)) << sql_text(*whole_number(values.at(first + 3)));
    }
    return QLatin1Char('(') + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
}

CsvResult import(Database& db, const QString& path, Kind kind, const ImportProgress& progress,
                 const QSet<int>& skip = {}) {
    const Parsed parsed = parse(path, kind);
    if (!parsed.problem.isEmpty())
        return {false, parsed.problem, 0};
    const Layout& l = layout(kind);
    QVector<int> chosen;  // the records that go in
    for (int i = 0; i < int(parsed.values.size() / l.width); ++i)
        if (!skip.contains(i))
            chosen << i;
    const int total = int(chosen.size());
    const QString prefix = insert_prefix(kind);
    // Records go in a hundred to a statement (every back-end takes a row list that long); a refused
    // statement is retried one record at a time to name the record the database refuses, unless the
    // refusal may have ended the transaction (a full disk, an I/O error): a retry would then store
    // rows outside it.
    const int batch = 100;
    try {
        Transaction transaction(db);
        // The customers this import adds are those above the largest key now.
        const bool index_after = kind == Kind::Customers && has_text_index(db.dialect());
        const QString before =
            index_after ? db.query_rows(QStringLiteral("select coalesce(max(顧客ID),0) from 顧客"), 1)(0, 1)
                        : QString();
        for (int r = 0; r < total; r += batch) {
            if (progress && !progress(r, total))
                return {false,
                        QStringLiteral("読み込みを中止しました。%1は 1 件も登録していません。").arg(l.what),
                        0};
            const int n = qMin(batch, total - r);
            QStringList rows;
            for (int i = r; i < r + n; ++i)
                rows << row_values(kind, parsed.values, chosen.at(i) * l.width);
            try {
                db.execute_sql(prefix + rows.join(QLatin1Char(',')));
                continue;
            } catch (const DatabaseError& e) {
                // A busy file, a full disk or an I/O error is no record's fault: it is reported as it
                // is, and the batch is never retried after the back-end may have ended the transaction.
                if (e.message() == kDatabaseBusyMessage || refusal_ends_transaction(e.message()))
                    throw;
            }
            for (int i = r; i < r + n; ++i) {
                try {
                    db.execute_sql(prefix + rows.at(i - r));
                } catch (const DatabaseError& e) {
                    const QString name =
                        parsed.values.at(chosen.at(i) * l.width + (kind == Kind::Customers ? 0 : 2));
                    throw DatabaseError(QStringLiteral("%1 件目のデータ（%2）を登録できませんでした: %3")
                                            .arg(chosen.at(i) + 1)
                                            .arg(excerpt(name), e.message()));
                }
            }
        }
        if (index_after) {
            QStringList added;
            const ResultTable keys =
                db.query_rows(QStringLiteral("select 顧客ID from 顧客 where 顧客ID>") + before, 1);
            for (int k = 1; k <= keys.row_count(); ++k)
                added << keys(0, k);
            customer_copies_follow(db, added, true);
        }
        transaction.commit();
    } catch (const DatabaseError& e) {
        return {false, e.message() + QStringLiteral("\n%1は 1 件も登録していません。").arg(l.what), 0};
    }
    if (progress)
        progress(total, total);
    QString message = QStringLiteral(" %1を %2 読み込みました").arg(l.what).arg(total);
    if (!skip.isEmpty())
        message += QStringLiteral("（重複の可能性がある %1 件は読み込みませんでした）").arg(skip.size());
    return {true, message, total};
}

}  // namespace

CsvResult validate_customer_csv(const QString& path) {
    return validate(path, Kind::Customers);
}

CsvResult validate_goods_csv(const QString& path) {
    return validate(path, Kind::Goods);
}

CsvResult import_customer_csv(Database& db, const QString& path, const ImportProgress& progress,
                              const QSet<int>& skip) {
    return import(db, path, Kind::Customers, progress, skip);
}

QVector<QStringList> read_customer_records(const QString& path) {
    const Parsed parsed = parse(path, Kind::Customers);
    QVector<QStringList> records;
    if (!parsed.problem.isEmpty())
        return records;
    for (int i = 0; i + 13 <= parsed.values.size(); i += 13)
        records << parsed.values.mid(i, 13);
    return records;
}

CsvResult import_goods_csv(Database& db, const QString& path, const ImportProgress& progress) {
    return import(db, path, Kind::Goods, progress);
}
